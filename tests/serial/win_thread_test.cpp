// The worker threads the serial reader runs on.
#include "framework/win_thread.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkerThread, EndsWithItsCodeAndIsKeptForItsOwnerOrDeletesItself) {
    CWinThread* kept = AfxBeginThread([](LPVOID) -> UINT { AfxEndThread(42); }, nullptr,
                                      THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(kept, nullptr);
    kept->m_bAutoDelete = FALSE;
    EXPECT_EQ(GetThreadPriority(kept->m_hThread), THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(kept->m_nThreadID, GetThreadId(kept->m_hThread));
    ResumeThread(kept->m_hThread);
    ASSERT_EQ(WaitForSingleObject(kept->m_hThread, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(kept->m_hThread, &code));  // the object and its handle outlive the thread
    EXPECT_EQ(code, 42u);
    delete kept;

    // Returning from the procedure ends the thread with the result; the
    // object deletes itself, so only a duplicate of the handle is used.
    static UINT result = 7;
    CWinThread* own = AfxBeginThread([](LPVOID p) -> UINT { return *static_cast<UINT*>(p); }, &result,
                                     THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(own, nullptr);
    HANDLE h = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), own->m_hThread, GetCurrentProcess(), &h, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    ResumeThread(h);
    ASSERT_EQ(WaitForSingleObject(h, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(h, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(h);
}

}  // namespace

#include "framework/worker_thread.h"

#include <atomic>

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
    ASSERT_TRUE(thread.Start([&]() -> UINT {
        Unwound guard{&unwound};
        while (!stop)
            Sleep(1);
        return 42;
    }, THREAD_PRIORITY_BELOW_NORMAL));
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
}

}  // namespace
