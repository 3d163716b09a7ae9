// Sends the readings to the time-series database from a thread of its own,
// so the window never waits for the network. The window pushes points into
// the queue; the thread posts them in batches (at most one request a second,
// at most 5,000 points each), keeps them while the server cannot be reached
// and sends them in order once it answers, backing off from 1 s to 60 s.
// Resending a batch whose answer was lost is harmless: the server keeps one
// point per measurement, tags and time stamp, so the copy overwrites itself.
#pragma once

#include "database/point_queue.h"
#include "database/send_rules.h"
#include "database/send_state.h"
#include "framework/app_messages.h"

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>


class CDatabaseSender {
public:
    struct Config {
        DbServerUrl url;
        std::string strDatabase;
        std::string strUser;
        std::string strSecret;  // password, or an API token without a user
    };

    explicit CDatabaseSender(std::size_t nQueueCapacity = CPointQueue::kDefaultCapacity);
    ~CDatabaseSender();  // stops the thread; waiting points are lost (the local files have them)

    CDatabaseSender(const CDatabaseSender&) = delete;
    CDatabaseSender& operator=(const CDatabaseSender&) = delete;

    // Starts (or restarts, with new settings) the thread. nMessage is posted
    // to hNotify whenever sending starts or stops failing. Points already
    // waiting stay and go to the new server.
    void Start(const Config& config, HWND hNotify, UINT nMessage);
    // Ends the thread and waits for it: at most the time-out of a request
    // under way. The waiting points stay.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // From the window's thread: queues a point and wakes the thread. Does
    // nothing while the sender is stopped.
    void Push(const DbPoint& point);
    // Forgets the waiting points (sending was switched off).
    void Discard() { m_queue.Clear(); }

    bool IsFailing() const { return m_bFailing.load(); }
    DbSendState State() const;

private:
    void Run(Config config, HWND hNotify, UINT nMessage);
    // Waits until the time is up, stop is asked for, or (with bForPoints)
    // points are waiting. True unless stop was asked for.
    bool Pause(DWORD nMs, bool bForPoints);

    CPointQueue m_queue;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};     // written by Stop, read by the thread
    std::atomic<bool> m_bFailing{false};  // written by the thread, read by the window
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    mutable std::mutex m_stateMutex;
    DbSendState m_state;  // counts and the last failure; nWaiting and nDropped come from the queue
};
