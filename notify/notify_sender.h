// Sends what the outbox holds through each configured way, on a thread of
// its own, so that neither the window nor a close ever waits for a mail
// server. Every way takes the messages in their order; a way that took one
// is not asked again for it, not even after a restart. A way that answers
// "later" is tried again after a pause that doubles up to a bound; a
// message a way can never deliver is given up for that way, and told. The
// thread also reads again an outbox it could not read at the start, and
// rewrites it outside the lock Post waits for.
#pragma once

#include "notify/notification.h"
#include "notify/notify_outbox.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct NotifyWayState {
    std::string strName;
    bool bFailing = false;      // the last try did not deliver
    std::string strLastAnswer;  // what the way answered last, UTF-8
};

class CNotifySender {
public:
    using GivenUp = std::function<void(const Notification& message, const std::string& strWay,
                                       const std::string& strAnswer)>;
    using Log = std::function<void(const std::string& strLine)>;

    // Reads what the last run left in the outbox; it is sent first. One that
    // cannot be read now is read by the thread later, after pauses as a
    // way's (SetBackOff).
    explicit CNotifySender(std::filesystem::path outboxPath, NotifyFileOpener open = nullptr);
    ~CNotifySender();

    // Before Start: the pause after a failed try, doubled up to most.
    void SetBackOff(std::chrono::milliseconds first, std::chrono::milliseconds most);
    // Before Start: told (on the sending thread) of each message given up.
    void SetGivenUp(GivenUp onGivenUp);
    // Before Start: told (on the sending thread) what the outbox met: damage,
    // a file it could not read, messages folded by its bound (UTF-8 lines).
    void SetLog(Log onLog);

    // Starts the thread with these ways; onStateChanged is called on it
    // when a way's state changes. Again after Stop with other ways.
    void Start(std::vector<std::unique_ptr<INotifyWay>> ways, std::function<void()> onStateChanged);
    // On the disk before it returns (false: the disk did not take it; it is
    // sent all the same), then the thread is woken.
    bool Post(Notification message);
    // Cancels the ways and ends the thread: returns without waiting for any
    // server. The ways are spent.
    void Stop();

    std::vector<NotifyWayState> States() const;
    bool IsFailing() const;
    std::size_t PendingCount() const;
    // Records the outbox could not read at the start.
    int DamagedRecords() const;
    // Messages folded into another's list by the outbox's bound.
    int FoldedMessages() const;
    // The outbox's file could not be read yet: what is posted is in memory only.
    bool IsOutboxUnread() const;

    // For "Wyślij wiadomość próbną": each way's answer to one message, in
    // the caller's thread, outside the outbox.
    static std::vector<DeliveryResult> SendTest(const std::vector<std::unique_ptr<INotifyWay>>& ways,
                                                const Notification& message);

private:
    struct WayRun {
        std::chrono::milliseconds pause{0};
        std::chrono::steady_clock::time_point retryAt{};
    };

    void Run();
    // The outbox's file read again, outside the lock, once its pause ran out.
    void ReadOutbox(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point* pWake);
    // The outbox's file rewritten, when due, outside the lock.
    void RewriteOutbox(std::unique_lock<std::mutex>& lock);
    void TellNotes(std::unique_lock<std::mutex>& lock);
    std::chrono::milliseconds NextPause(std::chrono::milliseconds pause) const;
    // Offers way k the first message it has not taken; false when there was none.
    bool DeliverNext(std::size_t k, std::unique_lock<std::mutex>& lock);
    // Every way took the message, counting strAlso as one that did.
    bool AllTook(const CNotifyOutbox::Entry& entry, const std::string& strAlso) const;
    void RemoveDone();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    CNotifyOutbox m_outbox;
    std::vector<std::unique_ptr<INotifyWay>> m_ways;
    std::vector<WayRun> m_runs;
    WayRun m_read;  // the tries to read an outbox that could not be read
    std::vector<NotifyWayState> m_states;
    std::function<void()> m_onStateChanged;
    GivenUp m_onGivenUp;
    Log m_onLog;
    std::chrono::milliseconds m_firstPause{10000};
    std::chrono::milliseconds m_mostPause{600000};
    bool m_bStop = false;
    std::thread m_thread;
};
