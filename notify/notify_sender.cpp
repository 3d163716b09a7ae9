#include "notify/notify_sender.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace {

// A way that throws (out of memory, a fault of its own) answers "later": no
// exception leaves the sending thread, which would end the program.
DeliveryResult DeliverCaught(INotifyWay& way, const Notification& message) {
    try {
        return way.Deliver(message);
    } catch (const std::exception& e) {
        return {DeliveryResult::kRetryLater, std::string("B\xC5\x82\xC4\x85" "d wewn\xC4\x99trzny: ") + e.what()};
    } catch (...) {
        return {DeliveryResult::kRetryLater, "B\xC5\x82\xC4\x85" "d wewn\xC4\x99trzny."};
    }
}

}  // namespace

CNotifySender::CNotifySender(std::filesystem::path outboxPath, NotifyFileOpener open)
    : m_outbox(std::move(outboxPath), std::move(open)) {
    m_outbox.Load();
}

CNotifySender::~CNotifySender() { Stop(); }

void CNotifySender::SetBackOff(std::chrono::milliseconds first, std::chrono::milliseconds most) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firstPause = first;
    m_mostPause = std::max(first, most);
}

void CNotifySender::SetGivenUp(GivenUp onGivenUp) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onGivenUp = std::move(onGivenUp);
}

void CNotifySender::SetLog(Log onLog) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onLog = std::move(onLog);
}

void CNotifySender::Start(std::vector<std::unique_ptr<INotifyWay>> ways, std::function<void()> onStateChanged) {
    Stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ways = std::move(ways);
    m_runs.assign(m_ways.size(), WayRun());
    m_states.clear();
    for (const auto& way : m_ways) {
        NotifyWayState state;
        state.strName = way->Name();
        m_states.push_back(state);
    }
    m_onStateChanged = std::move(onStateChanged);
    m_bStop = false;
    m_thread = std::thread(&CNotifySender::Run, this);
}

bool CNotifySender::Post(Notification message) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool bDurable = m_outbox.Post(message);
    m_wake.notify_all();
    return bDurable;
}

void CNotifySender::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        // Cancel is made for any thread: a Deliver under way returns at once.
        for (const auto& way : m_ways)
            way->Cancel();
        m_wake.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<NotifyWayState> CNotifySender::States() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_states;
}

bool CNotifySender::IsFailing() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::any_of(m_states.begin(), m_states.end(), [](const NotifyWayState& s) { return s.bFailing; });
}

std::size_t CNotifySender::PendingCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outbox.Pending().size();
}

int CNotifySender::DamagedRecords() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outbox.DamagedRecords();
}

int CNotifySender::FoldedMessages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outbox.FoldedMessages();
}

bool CNotifySender::IsOutboxUnread() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_outbox.IsRead();
}

std::vector<DeliveryResult> CNotifySender::SendTest(const std::vector<std::unique_ptr<INotifyWay>>& ways,
                                                    const Notification& message) {
    std::vector<DeliveryResult> results;
    for (const auto& way : ways)
        results.push_back(way->Deliver(message));
    return results;
}

void CNotifySender::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        try {
            auto wake = std::chrono::steady_clock::time_point::max();
            if (!m_outbox.IsRead())
                ReadOutbox(lock, &wake);
            RemoveDone();
            RewriteOutbox(lock);
            TellNotes(lock);
            bool bAsked = false;
            for (std::size_t k = 0; k < m_ways.size() && !m_bStop; ++k) {
                if (m_runs[k].retryAt > std::chrono::steady_clock::now())
                    wake = std::min(wake, m_runs[k].retryAt);
                else if (DeliverNext(k, lock))
                    bAsked = true;
            }
            // After an answer the ways are looked at again before any wait, so
            // that a pause just begun sets the time to wake.
            if (bAsked || m_bStop)
                continue;
            // Never unbounded: the MinGW runtime's condition variable has
            // been seen to lose a wake-up under Wine, which would leave a
            // posted message unsent until the next one.
            m_wake.wait_until(lock, std::min(wake, std::chrono::steady_clock::now() + std::chrono::seconds(1)));
        } catch (...) {
            // Out of memory in the outbox or a callback: the thread stays,
            // and tries again after a pause; what is pending stays pending.
            if (!lock.owns_lock())
                lock.lock();
            m_wake.wait_for(lock, m_firstPause);
        }
    }
}

bool CNotifySender::DeliverNext(std::size_t k, std::unique_lock<std::mutex>& lock) {
    const std::string name = m_states[k].strName;
    const auto& pending = m_outbox.Pending();
    const auto next = std::find_if(pending.begin(), pending.end(),
                                   [&](const CNotifyOutbox::Entry& e) { return !e.taken.count(name); });
    if (next == pending.end())
        return false;
    const Notification message = next->message;

    lock.unlock();
    const DeliveryResult result = DeliverCaught(*m_ways[k], message);
    lock.lock();

    WayRun& run = m_runs[k];
    NotifyWayState& state = m_states[k];
    const NotifyWayState before = state;
    const bool bTaken = result.kind != DeliveryResult::kRetryLater;
    if (bTaken) {
        // The last way to take it ends the message: one record, not two. One
        // that became a list of others meanwhile (the outbox's bound) is a
        // message this way has not taken.
        const auto& all = m_outbox.Pending();
        const auto entry = std::find_if(all.begin(), all.end(),
                                        [&](const CNotifyOutbox::Entry& e) { return e.message.nId == message.nId; });
        if (entry != all.end() && entry->message.strText == message.strText) {
            if (AllTook(*entry, name))
                m_outbox.MarkDone(message.nId);
            else
                m_outbox.MarkTaken(message.nId, name);
        }
        run = WayRun();
    } else if (m_bStop) {
        return true;  // the answer to our own Cancel says nothing of the way
    } else {
        run.pause = NextPause(run.pause);
        run.retryAt = std::chrono::steady_clock::now() + run.pause;
    }
    // A refusal for good is a failure too: the dialog tells why.
    state.bFailing = result.kind != DeliveryResult::kDelivered;
    state.strLastAnswer = result.strAnswer;
    const bool bChanged = state.bFailing != before.bFailing || state.strLastAnswer != before.strLastAnswer;
    const auto onStateChanged = m_onStateChanged;
    const auto onGivenUp = m_onGivenUp;

    lock.unlock();
    if (result.kind == DeliveryResult::kNeverDeliverable && onGivenUp)
        onGivenUp(message, name, result.strAnswer);
    if (bChanged && onStateChanged)
        onStateChanged();
    lock.lock();
    return true;
}

bool CNotifySender::AllTook(const CNotifyOutbox::Entry& e, const std::string& strAlso) const {
    return std::all_of(m_states.begin(), m_states.end(), [&](const NotifyWayState& s) {
        return s.strName == strAlso || e.taken.count(s.strName) > 0;
    });
}

// A message every configured way took leaves the outbox (after a restart
// with fewer ways, say).
void CNotifySender::RemoveDone() {
    std::vector<std::uint64_t> done;
    for (const CNotifyOutbox::Entry& e : m_outbox.Pending())
        if (AllTook(e, std::string()))
            done.push_back(e.message.nId);
    for (std::uint64_t nId : done)
        m_outbox.MarkDone(nId);
}

std::chrono::milliseconds CNotifySender::NextPause(std::chrono::milliseconds pause) const {
    return pause.count() == 0 ? m_firstPause : std::min(pause * 2, m_mostPause);
}

void CNotifySender::ReadOutbox(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point* pWake) {
    if (m_read.retryAt > std::chrono::steady_clock::now()) {
        *pWake = std::min(*pWake, m_read.retryAt);
        return;
    }
    // Nothing writes the file while it is unread: the reader may rewrite it.
    const std::unique_ptr<CNotifyOutbox> reader = m_outbox.Reader();
    lock.unlock();
    const bool bRead = reader->Load();
    lock.lock();
    if (bRead) {
        m_outbox.Adopt(*reader);
        m_read = WayRun();
        return;
    }
    m_read.pause = NextPause(m_read.pause);
    m_read.retryAt = std::chrono::steady_clock::now() + m_read.pause;
    *pWake = std::min(*pWake, m_read.retryAt);
}

void CNotifySender::RewriteOutbox(std::unique_lock<std::mutex>& lock) {
    if (!m_outbox.IsRewriteDue())
        return;
    const std::string bytes = m_outbox.BeginRewrite();
    bool bWritten = false;
    lock.unlock();
    try {
        bWritten = m_outbox.WriteRewrite(bytes);
    } catch (...) {
        // Out of memory: not written; the lock is taken again below.
    }
    lock.lock();
    m_outbox.EndRewrite(bWritten);
}

void CNotifySender::TellNotes(std::unique_lock<std::mutex>& lock) {
    const std::vector<std::string> notes = m_outbox.TakeNotes();
    const Log onLog = m_onLog;
    if (notes.empty() || !onLog)
        return;
    lock.unlock();
    for (const std::string& note : notes)
        onLog(note);
    lock.lock();
}
