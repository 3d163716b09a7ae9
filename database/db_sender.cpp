#include "database/db_sender.h"

#include "database/http_client.h"

#include <chrono>
#include <vector>

CDatabaseSender::CDatabaseSender(std::size_t nQueueCapacity) : m_queue(nQueueCapacity) {}

CDatabaseSender::~CDatabaseSender() { Stop(); }

void CDatabaseSender::Start(const Config& config, HWND hNotify, UINT nMessage) {
    Stop();
    m_bStop = false;
    m_thread = std::thread(&CDatabaseSender::Run, this, config, hNotify, nMessage);
}

void CDatabaseSender::Stop() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_bFailing = false;
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state.bFailing = false;
}

void CDatabaseSender::Push(const DbPoint& point) {
    if (!m_thread.joinable())
        return;
    m_queue.Push(point);
    // Taking the lock orders this wake after the thread's last look at the
    // queue, so it cannot be lost.
    { std::lock_guard<std::mutex> lock(m_wakeMutex); }
    m_wake.notify_one();
}

DbSendState CDatabaseSender::State() const {
    DbSendState state;
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        state = m_state;
    }
    state.nWaiting = m_queue.Size();
    state.nDropped = m_queue.Dropped();
    return state;
}

bool CDatabaseSender::Pause(DWORD nMs, bool bForPoints) {
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(nMs),
                    [&] { return m_bStop.load() || (bForPoints && m_queue.Size() > 0); });
    return !m_bStop;
}

void CDatabaseSender::Run(Config config, HWND hNotify, UINT nMessage) {
    CHttpClient http(config.url, AuthorizationValue(config.strUser, config.strSecret));
    const std::string path = WritePath(config.url, config.strDatabase);
    CSendBackoff backoff;
    std::vector<DbPoint> batch;
    std::string body;
    while (!m_bStop) {
        if (m_queue.Size() == 0 && !Pause(1000, true))
            break;
        const std::uint64_t nFirst = m_queue.PeekFront(batch, dbsend::kMaxPointsPerRequest);
        if (batch.empty())
            continue;
        body.clear();
        for (const DbPoint& point : batch)
            AppendPointLine(point, body);

        const ULONGLONG started = GetTickCount64();
        const HttpAnswer answer = http.Post(path, body);
        const DbAnswer verdict = ClassifyAnswer(answer.nStatus);
        if (verdict != DbAnswer::Retry)
            m_queue.Release(nFirst, batch.size());

        const bool bFailing = verdict != DbAnswer::Delivered;
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            if (verdict == DbAnswer::Delivered)
                m_state.nSent += batch.size();
            else if (verdict == DbAnswer::Rejected)
                m_state.nRejected += batch.size();
            m_state.bFailing = bFailing;
            if (bFailing) {
                m_state.nHttpStatus = answer.nStatus;
                m_state.nTransportError = answer.nStatus == 0 ? answer.nError : 0;
                m_state.strServerMessage = ServerMessage(answer.strBody);
            }
        }
        if (m_bFailing.exchange(bFailing) != bFailing && hNotify != nullptr)
            PostMessageW(hNotify, nMessage, 0, 0);

        // The gap after a delivery counts from the request's start; a
        // back-off from its end.
        const unsigned delay = backoff.NextDelayMs(verdict);
        const ULONGLONG elapsed = GetTickCount64() - started;
        const DWORD wait = verdict == DbAnswer::Delivered ? (elapsed >= delay ? 0 : static_cast<DWORD>(delay - elapsed))
                                                          : delay;
        if (wait > 0 && !Pause(wait, false))
            break;
    }
}
