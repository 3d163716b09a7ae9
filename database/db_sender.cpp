#include "database/db_sender.h"

#include "database/http_client.h"

#include <chrono>
#include <new>
#include <vector>

CDatabaseSender::CDatabaseSender(std::size_t nQueueCapacity) : m_shared(std::make_shared<Shared>(nQueueCapacity)) {}

CDatabaseSender::~CDatabaseSender() { Stop(); }

void CDatabaseSender::Start(const Config& config, HWND hNotify, UINT nMessage) {
    Stop(0);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    Run run = {m_shared, stop, config, hNotify, nMessage};
    if (m_thread.Start([run]() -> UINT { return RunThread(run); }))
        m_pStop = stop;
}

void CDatabaseSender::Stop(DWORD nWaitMs) {
    if (m_pStop == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(m_shared->wakeMutex);
        *m_pStop = true;
    }
    m_shared->wake.notify_all();
    if (m_thread.WaitForEnd(nWaitMs))
        m_thread.Join();
    else
        m_thread.Release();  // in a request; it ends when that does
    m_pStop.reset();
    m_shared->bFailing = false;
    std::lock_guard<std::mutex> lock(m_shared->stateMutex);
    m_shared->state.bFailing = false;
    m_shared->state.fault = DbFault::None;
}

void CDatabaseSender::Push(const DbPoint& point) {
    if (m_pStop == nullptr)
        return;
    m_shared->queue.Push(point);
    // Taking the lock orders this wake after the thread's last look at the
    // queue, so it cannot be lost.
    { std::lock_guard<std::mutex> lock(m_shared->wakeMutex); }
    m_shared->wake.notify_one();
}

DbSendState CDatabaseSender::State() const {
    DbSendState state;
    {
        std::lock_guard<std::mutex> lock(m_shared->stateMutex);
        state = m_shared->state;
    }
    state.nWaiting = m_shared->queue.Size();
    state.nDropped = m_shared->queue.Dropped();
    return state;
}

bool CDatabaseSender::Pause(const Run& run, DWORD nMs, bool bForPoints) {
    std::unique_lock<std::mutex> lock(run.shared->wakeMutex);
    run.shared->wake.wait_for(lock, std::chrono::milliseconds(nMs),
                              [&] { return run.stop->load() || (bForPoints && run.shared->queue.Size() > 0); });
    return !run.stop->load();
}

void CDatabaseSender::SetFailing(const Run& run, bool bFailing, bool bReasonChanged) {
    const bool bFlipped = run.shared->bFailing.exchange(bFailing) != bFailing;
    // A thread told to end tells nobody: its window may be gone.
    if ((bFlipped || (bFailing && bReasonChanged)) && run.hNotify != nullptr && !run.stop->load())
        PostMessageW(run.hNotify, run.nMessage, 0, 0);
}

UINT CDatabaseSender::RunThread(const Run& run) {
    // Nothing thrown here may end the program, which records and reads the
    // port meanwhile: the thread says so and ends.
    try {
        SendLoop(run);
    } catch (...) {
        try {
            std::lock_guard<std::mutex> lock(run.shared->stateMutex);
            run.shared->state.bFailing = true;
            run.shared->state.fault = DbFault::Internal;
        } catch (...) {
        }
        SetFailing(run, true);
    }
    return 0;
}

void CDatabaseSender::SendLoop(const Run& run) {
    Shared& shared = *run.shared;
    if (run.config.hold != DbFault::None) {
        {
            std::lock_guard<std::mutex> lock(shared.stateMutex);
            shared.state.bFailing = true;
            shared.state.fault = run.config.hold;
        }
        SetFailing(run, true);
        while (Pause(run, 60000, false)) {
        }
        return;
    }
    CHttpClient http(run.config.url, AuthorizationValue(run.config.strUser, run.config.strSecret));
    const std::string path = WritePath(run.config.url, run.config.strDatabase);
    CSendBackoff backoff;
    std::size_t nBatchLimit = dbsend::kMaxPointsPerRequest;  // halved by each 413
    std::vector<DbPoint> batch;
    std::string body;
    long long nLastReason = 0;  // the fault and the HTTP status last told
    while (!run.stop->load()) {
        if (shared.queue.Size() == 0 && !Pause(run, 1000, true))
            break;
        const ULONGLONG started = GetTickCount64();
        DbBatchVerdict verdict;
        DbHttpAnswer answer;
        DbFault fault = DbFault::None;
        try {
            const std::uint64_t nFirst = shared.queue.PeekFront(batch, nBatchLimit);
            if (batch.empty())
                continue;
            body.clear();
            for (const DbPoint& point : batch)
                run.config.pfnAppendLine(point, body);
            answer = http.Post(path, body);
            if (run.stop->load())
                break;  // told to end meanwhile: the queue may be another thread's now
            verdict =
                JudgeAnswer(answer.nStatus, !answer.strVersion.empty(), ServerMessage(answer.strBody), batch.size());
            // Points the full queue pushed out meanwhile count as dropped, not sent.
            const std::size_t nLeft = verdict.Releases() ? shared.queue.Release(nFirst, batch.size()) : 0;
            const std::size_t nRefused = std::min(verdict.nRefused, nLeft);
            if (verdict.answer == DbAnswer::Split)
                nBatchLimit = std::max<std::size_t>(1, batch.size() / 2);
            std::lock_guard<std::mutex> lock(shared.stateMutex);
            shared.state.nSent += nLeft - nRefused;
            shared.state.nRejected += nRefused;
            if (verdict.Fails())
                fault = answer.nStatus == 0                      ? DbFault::Transport
                        : verdict.answer == DbAnswer::NotAServer ? DbFault::NotAServer
                                                                 : DbFault::HttpStatus;
        } catch (const std::bad_alloc&) {
            verdict = DbBatchVerdict();  // kept, tried again after the back-off
            fault = DbFault::Internal;
            body = std::string();
        }
        {
            std::lock_guard<std::mutex> lock(shared.stateMutex);
            shared.state.bFailing = fault != DbFault::None;
            shared.state.fault = fault;
            if (fault != DbFault::None) {
                shared.state.nHttpStatus = answer.nStatus;
                shared.state.nTransportError = answer.nStatus == 0 ? answer.nError : 0;
                shared.state.strServerMessage = ServerMessage(answer.strBody);
            }
        }
        const long long nReason = static_cast<long long>(fault) << 32 | static_cast<unsigned>(answer.nStatus);
        SetFailing(run, fault != DbFault::None, nReason != nLastReason);
        nLastReason = nReason;

        // The gap after a delivery counts from the request's start; a
        // back-off from its end.
        const unsigned delay = backoff.NextDelayMs(verdict.answer);
        const ULONGLONG elapsed = GetTickCount64() - started;
        const bool bFromStart = verdict.answer == DbAnswer::Delivered || verdict.answer == DbAnswer::Partial;
        const DWORD wait = !bFromStart ? delay : elapsed >= delay ? 0 : static_cast<DWORD>(delay - elapsed);
        if (wait > 0 && !Pause(run, wait, false))
            break;
    }
}
