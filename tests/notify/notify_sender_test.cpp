#include "notify/notify_sender.h"

#include "config/native_file.h"
#include "notify_test_dir.h"

#include <atomic>
#include <deque>
#include <stdexcept>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// What a scripted way saw; shared, as the sender owns the way itself.
struct WayLog {
    std::mutex mutex;
    std::vector<std::uint64_t> attempts;
    std::deque<DeliveryResult::Kind> script;  // answers in turn; then delivered
    int nThrows = 0;                          // before the script, Deliver throws this often
    bool bBlock = false;                      // Deliver waits for Cancel
    std::atomic<bool> bInDeliver{false};

    std::vector<std::uint64_t> Attempts() {
        std::lock_guard<std::mutex> lock(mutex);
        return attempts;
    }
};

class ScriptedWay : public INotifyWay {
public:
    ScriptedWay(const char* name, std::shared_ptr<WayLog> log) : m_name(name), m_log(std::move(log)) {}
    const char* Name() const override { return m_name; }
    DeliveryResult Deliver(const Notification& message) override {
        std::unique_lock<std::mutex> lock(m_log->mutex);
        m_log->attempts.push_back(message.nId);
        m_log->bInDeliver = true;
        m_cancelled.wait(lock, [&] { return !m_log->bBlock || m_bCancelled; });
        m_log->bInDeliver = false;
        if (!m_bCancelled && m_log->nThrows > 0 && m_log->nThrows--)
            throw std::runtime_error("out of memory");
        DeliveryResult result;
        result.kind = m_bCancelled ? DeliveryResult::kRetryLater : DeliveryResult::kDelivered;
        if (!m_bCancelled && !m_log->script.empty()) {
            result.kind = m_log->script.front();
            m_log->script.pop_front();
        }
        result.strAnswer = result.kind == DeliveryResult::kDelivered ? "250 OK" : "550 no such user";
        return result;
    }
    void Cancel() override {
        std::lock_guard<std::mutex> lock(m_log->mutex);
        m_bCancelled = true;
        m_cancelled.notify_all();
    }

private:
    const char* m_name;
    std::shared_ptr<WayLog> m_log;
    std::condition_variable m_cancelled;
    bool m_bCancelled = false;
};

// Waits, at most 10 s, for the condition; a fault fails instead of hanging.
template <class Condition>
bool Eventually(Condition condition) {
    for (auto end = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < end;) {
        if (condition())
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return condition();
}

Notification Message() {
    Notification m;
    m.strSubject = "Temperatura 3";
    return m;
}

class NotifySenderTest : public NotifyDirTest {
protected:
    std::filesystem::path Path() const { return dir / "qm487cfg.outbox"; }

    static std::vector<std::unique_ptr<INotifyWay>> Ways(std::initializer_list<std::pair<const char*, std::shared_ptr<WayLog>>> ways) {
        std::vector<std::unique_ptr<INotifyWay>> list;
        for (const auto& w : ways)
            list.push_back(std::make_unique<ScriptedWay>(w.first, w.second));
        return list;
    }
};

}  // namespace

TEST_F(NotifySenderTest, EachWayTakesEachMessageOnceAcrossARestart) {
    auto mail = std::make_shared<WayLog>();
    auto hook = std::make_shared<WayLog>();
    hook->script.assign(3, DeliveryResult::kRetryLater);
    {
        CNotifySender sender(Path());
        sender.SetBackOff(1h, 1h);
        sender.Start(Ways({{"e-mail", mail}, {"web hook", hook}}), nullptr);
        for (int i = 0; i < 3; ++i)
            sender.Post(Message());
        ASSERT_TRUE(Eventually([&] { return mail->Attempts().size() == 3 && hook->Attempts().size() == 1; }));
        EXPECT_TRUE(sender.IsFailing());
        EXPECT_EQ(sender.States()[1].strLastAnswer, "550 no such user");
    }
    auto mail2 = std::make_shared<WayLog>();
    auto hook2 = std::make_shared<WayLog>();
    CNotifySender sender(Path());
    EXPECT_EQ(sender.PendingCount(), 3u);
    sender.Start(Ways({{"e-mail", mail2}, {"web hook", hook2}}), nullptr);
    ASSERT_TRUE(Eventually([&] { return sender.PendingCount() == 0; }));
    EXPECT_TRUE(mail2->Attempts().empty());
    EXPECT_EQ(hook2->Attempts(), (std::vector<std::uint64_t>{1, 2, 3}));
    EXPECT_FALSE(sender.IsFailing());
    sender.Stop();

    // Held by another program at the start: what is posted meanwhile goes
    // out, and is numbered and written only after what the file held.
    {
        CNotifyOutbox old(Path());
        ASSERT_TRUE(old.Load());
        for (Notification m : {Message(), Message(), Message()})
            ASSERT_TRUE(old.Post(m));  // 4, 5, 6
    }
    std::atomic<bool> held{true};
    auto late = std::make_shared<WayLog>();
    CNotifySender holding(Path(), [&](const std::filesystem::path& path, const char* mode) {
        return held && mode[0] == 'r' ? nullptr : native_file::Open(path, mode);
    });
    holding.SetBackOff(1ms, 4ms);
    holding.Start(Ways({{"e-mail", late}}), nullptr);
    holding.Post(Message());
    ASSERT_TRUE(Eventually([&] { return late->Attempts().size() == 1 && holding.PendingCount() == 0; }));
    held = false;
    ASSERT_TRUE(Eventually([&] { return late->Attempts().size() == 4 && holding.PendingCount() == 0; }));
    EXPECT_EQ(late->Attempts(), (std::vector<std::uint64_t>{1, 4, 5, 6}));
}

TEST_F(NotifySenderTest, LaterIsTriedAgainAndNeverIsGivenUp) {
    struct Row {
        std::deque<DeliveryResult::Kind> script;
        int posts;
        std::vector<std::uint64_t> attempts;
        std::vector<std::uint64_t> givenUp;
        int throws = 0;
    };
    const Row rows[] = {
        {{DeliveryResult::kRetryLater, DeliveryResult::kRetryLater}, 1, {1, 1, 1}, {}},
        {{DeliveryResult::kNeverDeliverable}, 2, {1, 2}, {1}},
        {{DeliveryResult::kRetryLater, DeliveryResult::kNeverDeliverable}, 2, {1, 1, 2}, {1}},
        {{}, 2, {1, 1, 2}, {}, 1},  // an exception is a "later", not the end of the thread
    };
    for (const Row& row : rows) {
        std::filesystem::remove(Path());
        auto log = std::make_shared<WayLog>();
        log->script = row.script;
        log->nThrows = row.throws;
        std::mutex mutex;
        std::vector<std::uint64_t> givenUp;
        std::atomic<int> changes{0};
        CNotifySender sender(Path());
        sender.SetBackOff(1ms, 4ms);
        sender.SetGivenUp([&](const Notification& m, const std::string& way, const std::string&) {
            std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(way, "program");
            givenUp.push_back(m.nId);
        });
        sender.Start(Ways({{"program", log}}), [&] { ++changes; });
        for (int i = 0; i < row.posts; ++i)
            sender.Post(Message());
        ASSERT_TRUE(Eventually([&] { return sender.PendingCount() == 0; }));
        sender.Stop();
        EXPECT_EQ(log->Attempts(), row.attempts);
        EXPECT_EQ(givenUp, row.givenUp);
        EXPECT_FALSE(sender.IsFailing());  // the last one went
        EXPECT_GE(changes, 2);             // failing, then not
    }
}

TEST_F(NotifySenderTest, NeitherStopNorPostWaitsForAServerOrARewrite) {
    auto log = std::make_shared<WayLog>();
    log->bBlock = true;
    {
        CNotifySender sender(Path());
        sender.Start(Ways({{"e-mail", log}}), nullptr);
        sender.Post(Message());
        ASSERT_TRUE(Eventually([&] { return log->bInDeliver.load(); }));
        auto stopped = std::async(std::launch::async, [&] { sender.Stop(); });
        ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
        EXPECT_FALSE(sender.IsFailing());  // our own Cancel is no failure
    }
    EXPECT_EQ(CNotifySender(Path()).PendingCount(), 1u);  // kept for the next run

    // The outbox rewritten (held here as it begins) keeps no Post waiting.
    std::filesystem::remove(Path());
    {
        CNotifyOutbox outbox(Path());
        ASSERT_TRUE(outbox.Load());
        Notification big = Message();
        big.strText.assign(100000, 'x');
        ASSERT_TRUE(outbox.Post(big) && outbox.MarkDone(big.nId));
    }
    std::mutex mutex;
    std::condition_variable resume;
    bool bRewriting = false, bResumed = false;
    CNotifySender sender(Path(), [&](const std::filesystem::path& path, const char* mode) {
        std::unique_lock<std::mutex> lock(mutex);
        bRewriting = bRewriting || mode[0] == 'w';
        resume.wait_for(lock, 10s, [&] { return bResumed || mode[0] != 'w'; });
        return native_file::Open(path, mode);
    });
    auto mail = std::make_shared<WayLog>();
    sender.Start(Ways({{"e-mail", mail}}), nullptr);
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return bRewriting;
    }));
    auto posted = std::async(std::launch::async, [&] { sender.Post(Message()); });
    EXPECT_EQ(posted.wait_for(5s), std::future_status::ready);
    {
        std::lock_guard<std::mutex> lock(mutex);
        bResumed = true;
    }
    resume.notify_all();
    ASSERT_TRUE(Eventually([&] { return mail->Attempts().size() == 1u; }));
}

TEST_F(NotifySenderTest, TheTestMessageGetsEachWaysAnswer) {
    auto ok = std::make_shared<WayLog>();
    auto refused = std::make_shared<WayLog>();
    refused->script.push_back(DeliveryResult::kNeverDeliverable);
    const auto results = CNotifySender::SendTest(Ways({{"e-mail", ok}, {"web hook", refused}}), Message());
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].kind, DeliveryResult::kDelivered);
    EXPECT_EQ(results[1].kind, DeliveryResult::kNeverDeliverable);
    EXPECT_EQ(results[1].strAnswer, "550 no such user");
}
