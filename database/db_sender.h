// Sends the readings to the time-series database from a thread of its own,
// so the window never waits for the network. The window pushes points into
// the queue; the thread posts them in batches (at most one request a second,
// at most 5,000 points each), keeps them while the server cannot take them
// and sends them in order once it does, backing off from 1 s to 60 s.
// Resending a batch whose answer was lost is harmless: the server keeps one
// point per measurement, tags and time stamp, so the copy overwrites itself.
//
// Stopping never waits for the network. WinHTTP's synchronous calls cannot
// be cancelled from outside, so the thread owns everything it touches (the
// queue and the state are shared with it, its client is its own): Stop tells
// it to end, waits a bounded time, and past that lets it go; it returns by
// itself once its request is over, touching nothing of the sender's.
#pragma once

#include "database/point_queue.h"
#include "database/send_rules.h"
#include "database/send_state.h"
#include "framework/worker_thread.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

class CDatabaseSender {
public:
    // How long Stop waits for the thread before it lets it go.
    static const DWORD kStopWaitMs = 300;

    struct Config {
        DbServerUrl url;
        std::string strDatabase;
        std::string strUser;
        std::string strSecret;  // password, or an API token without a user
        // Sending is held (the points wait) while this says why: an
        // unreadable secret must not go out as an empty password.
        DbFault hold = DbFault::None;
        // Writes a point's line; tests put one here that throws.
        void (*pfnAppendLine)(const DbPoint&, std::string&) = &AppendPointLine;
    };

    explicit CDatabaseSender(std::size_t nQueueCapacity = CPointQueue::kDefaultCapacity);
    ~CDatabaseSender();  // stops the thread; waiting points are lost (the local files have them)

    CDatabaseSender(const CDatabaseSender&) = delete;
    CDatabaseSender& operator=(const CDatabaseSender&) = delete;

    // Starts (or restarts, with new settings) the thread. nMessage is posted
    // to hNotify whenever sending starts or stops failing. Points already
    // waiting stay and go to the new server.
    void Start(const Config& config, HWND hNotify, UINT nMessage);
    // Tells the thread to end and waits at most nWaitMs for it (see above).
    // The waiting points stay.
    void Stop(DWORD nWaitMs = kStopWaitMs);
    bool IsRunning() const { return m_pStop != nullptr; }

    // From the window's thread: queues a point and wakes the thread. Does
    // nothing while the sender is stopped.
    void Push(const DbPoint& point);
    // Forgets the waiting points (sending was switched off).
    void Discard() { m_shared->queue.Clear(); }

    bool IsFailing() const { return m_shared->bFailing.load(); }
    DbSendState State() const;

private:
    // What the thread shares with the sender; it keeps it alive as long as
    // it runs.
    struct Shared {
        explicit Shared(std::size_t nCapacity) : queue(nCapacity) {}
        CPointQueue queue;
        std::mutex wakeMutex;
        std::condition_variable wake;
        std::atomic<bool> bFailing{false};  // written by the thread, read by the window
        std::mutex stateMutex;
        DbSendState state;  // counts and the last failure; nWaiting and nDropped come from the queue
    };
    // One run of the thread; stop is its own, so a thread let go by Stop
    // never mistakes a later Start for its own.
    struct Run {
        std::shared_ptr<Shared> shared;
        std::shared_ptr<std::atomic<bool>> stop;
        Config config;
        HWND hNotify;
        UINT nMessage;
    };
    static UINT RunThread(const Run& run);
    static void SendLoop(const Run& run);
    // Waits until the time is up, stop is asked for, or (with bForPoints)
    // points are waiting. True unless stop was asked for.
    static bool Pause(const Run& run, DWORD nMs, bool bForPoints);
    // Tells the window when sending starts or stops failing, or fails for
    // another reason (the status line names it).
    static void SetFailing(const Run& run, bool bFailing, bool bReasonChanged = false);

    std::shared_ptr<Shared> m_shared;
    std::shared_ptr<std::atomic<bool>> m_pStop;  // the running thread's; null while stopped
    CWorkerThread m_thread;
};
