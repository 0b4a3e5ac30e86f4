#include <gtest/gtest.h>

#include <chrono>

#include "base/SyncEvent.h"
#include "link/AfoThread.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

uint32_t WaitForEvent(void* arg) {
    static_cast<SyncEvent*>(arg)->Wait(10000);
    return 5;
}

// Without stop signals there is nothing to wait for: destruction gives the thread up at once,
// while a thread that can be asked to stop gets its 500 ms grace.
TEST(AfoThreadTiming, DestructionWaitsOnlyForStoppableThreads) {
    using Clock = std::chrono::steady_clock;
    LogCapture log(1);
    static SyncEvent release(SyncEvent::Reset::Manual);
    auto start = Clock::now();
    {
        AfoThread t(&WaitForEvent, "plain", &release);
        while (t.ThreadId() == 0)
            std::this_thread::yield();
        start = Clock::now();
    }
    const auto plainMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LT(plainMs, 250);

    SyncEvent unrelated(SyncEvent::Reset::Manual);  // a stop event the function ignores
    {
        AfoThread t(&WaitForEvent, "stoppable", &release);
        t.SetStopEvent(&unrelated);
        while (t.ThreadId() == 0)
            std::this_thread::yield();
        start = Clock::now();
    }
    const auto stoppableMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(stoppableMs, 450);
    EXPECT_EQ(log.Count("Forcefully terminating"), 2);
    release.Set();
}

}  // namespace
}  // namespace jvo
