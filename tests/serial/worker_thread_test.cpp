// The worker thread every thread of the programs runs on.
#include "framework/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>

namespace {

// Set by a stack object of the worker when it is destroyed.
struct Unwound {
    std::atomic<bool>* flag;
    ~Unwound() { *flag = true; }
};

TEST(JoinedThread, ReturnsNormallyWithItsResultAndIsJoinedByItsOwner) {
    std::atomic<bool> unwound(false);
    std::atomic<bool> stop(false);
    CWorkerThread thread;
    EXPECT_TRUE(thread.HasEnded()) << "nothing started yet";
    ASSERT_TRUE(thread.Start(
        [&]() -> UINT {
            Unwound guard{&unwound};
            while (!stop)
                Sleep(1);
            return 42;
        },
        THREAD_PRIORITY_BELOW_NORMAL));
    EXPECT_EQ(GetThreadPriority(thread.GetHandle()), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_FALSE(thread.Start([] { return 0u; })) << "one thread at a time";
    EXPECT_FALSE(thread.HasEnded());
    stop = true;
    EXPECT_EQ(thread.Join(), 42u);
    EXPECT_TRUE(unwound) << "the thread's stack objects were destroyed";
    EXPECT_TRUE(thread.HasEnded());
    EXPECT_EQ(thread.Join(), 0u) << "joining again does nothing";

    // The owner's destructor joins a thread told to stop.
    std::atomic<bool> ended(false);
    {
        CWorkerThread owned;
        ASSERT_TRUE(owned.Start([&]() -> UINT {
            Sleep(50);
            ended = true;
            return 0;
        }));
    }
    EXPECT_TRUE(ended);

    // Let go, a thread that owns what it touches ends on its own after its
    // owner has gone (its function is its own, not the owner's).
    auto go = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        CWorkerThread released;
        ASSERT_TRUE(released.Start([go, done]() -> UINT {
            while (!*go)
                Sleep(1);
            *done = true;
            return 0;
        }));
        EXPECT_FALSE(released.WaitForEnd(0));
        released.Release();
        EXPECT_TRUE(released.HasEnded()) << "no thread of its own any more";
    }
    *go = true;
    for (int i = 0; i < 10000 && !*done; ++i)  // bounded: ten seconds
        Sleep(1);
    EXPECT_TRUE(*done);
}

// What a thread's function throws ends that thread alone: its owner joins
// it with kFailed and the window set for the process is told.
TEST(JoinedThread, AThrowingFunctionEndsItsThreadWithAReportAndTheProcessGoesOn) {
    const UINT kMessage = WM_APP + 7;
    HWND hWnd = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(hWnd, nullptr);
    CWorkerThread::ReportFailuresTo(hWnd, kMessage);
    std::atomic<bool> unwound(false);
    for (int kind = 0; kind < 2; ++kind) {
        CWorkerThread thread;
        ASSERT_TRUE(thread.Start([&, kind]() -> UINT {
            Unwound guard{&unwound};
            if (kind == 0)
                throw std::bad_alloc();
            throw 42;  // not even an std::exception
        }));
        EXPECT_EQ(thread.Join(), CWorkerThread::kFailed) << kind;
        EXPECT_TRUE(unwound);
        MSG msg;
        EXPECT_TRUE(PeekMessageW(&msg, hWnd, kMessage, kMessage, PM_REMOVE)) << "reported";
    }
    CWorkerThread::ReportFailuresTo(nullptr, 0);
    CWorkerThread quiet;
    ASSERT_TRUE(quiet.Start([]() -> UINT { throw std::runtime_error("x"); }));
    EXPECT_EQ(quiet.Join(), CWorkerThread::kFailed);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, hWnd, kMessage, kMessage, PM_REMOVE)) << "nobody to tell";
    DestroyWindow(hWnd);
}

}  // namespace
