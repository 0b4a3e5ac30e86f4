#include "link/AfoThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "base/FormatStr.h"
#include "base/MsgFifo.h"
#include "base/SyncEvent.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

uint32_t ReturnSeven(void* arg) {
    static_cast<std::atomic<int>*>(arg)->fetch_add(1);
    return 7;
}

// Waits for its stop queue (code 42) and returns 3.
uint32_t WaitForStopQueue(void* arg) {
    auto* q = static_cast<MsgFifo*>(arg);
    if (!q->Wait(10000)) return 99;
    int32_t code = 0;
    q->Pop(&code);
    return code == 42 ? 3 : 98;
}

// Blocks until its event is set, then returns 5.
uint32_t WaitForEvent(void* arg) {
    static_cast<SyncEvent*>(arg)->Wait(10000);
    return 5;
}

uint32_t Throws(void*) {
    throw std::runtime_error("not an AfoException");
}

struct CurrentProbe {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    std::string name;
    uint32_t idSeen = 0;
    uint32_t idReported = 0;
};

uint32_t ProbeCurrent(void* arg) {
    auto* p = static_cast<CurrentProbe*>(arg);
    std::lock_guard<std::mutex> guard(p->lock);
    AfoThread* self = AfoThread::Current();
    if (self) {
        p->name = self->Name();
        p->idReported = self->ThreadId();
    }
    p->idSeen = AfoThread::CurrentThreadId();
    p->done = true;
    p->changed.notify_all();
    return 0;
}

TEST(AfoThread, RunsTheFunctionAndSignalsTheEnd) {
    LogCapture log(2);
    std::atomic<int> calls{0};
    SyncEvent done(SyncEvent::Reset::Manual);
    MsgFifo doneQueue;
    const size_t before = AfoThread::RegistryCount();
    {
        AfoThread t(&ReturnSeven, "worker", &calls, true);
        t.SetDoneEvent(&done);
        t.SetDoneQueue(&doneQueue, 77);
        EXPECT_EQ(AfoThread::RegistryCount(), before + 1);
        EXPECT_FALSE(t.WaitEnded(50));  // created suspended
        EXPECT_EQ(calls.load(), 0);
        t.Resume();
        ASSERT_TRUE(done.Wait(5000));
        EXPECT_TRUE(t.Finished());
        EXPECT_EQ(t.ExitCode(), 7u);
        EXPECT_NE(t.ThreadId(), 0u);
        int32_t code = 0;
        ASSERT_TRUE(doneQueue.Pop(&code));
        EXPECT_EQ(code, 77);
        ASSERT_TRUE(log.WaitFor("terminated with code"));
        EXPECT_TRUE(log.HasLine(
            FormatStr("AfoThread::Execute() Thread 'worker' (0x%X) terminated with code 7 (0x7)",
                      t.ThreadId())));
    }
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(AfoThread::RegistryCount(), before);
}

TEST(AfoThread, TerminateAsksThroughTheStopQueueAndThenOnlyReports) {
    LogCapture log(1);
    MsgFifo stop;
    AfoThread t(&WaitForStopQueue, "stoppable", &stop);
    t.SetStopQueue(&stop, 42);
    t.Terminate(5000);
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.ExitCode(), 3u);
    EXPECT_EQ(log.Count("Forcefully"), 0);
    log.Clear();
    t.Terminate(250);
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{FormatStr(
                  "AfoThread::Terminate(%d): Thread 'stoppable' (0x%08x) Thread already terminated",
                  250, t.ThreadId())});
}

TEST(AfoThread, StopEventEndsTheThreadOnDestruction) {
    LogCapture log(1);
    SyncEvent stop(SyncEvent::Reset::Manual);
    {
        AfoThread t(&WaitForEvent, "evented", &stop);
        t.SetStopEvent(&stop);
    }
    EXPECT_TRUE(stop.IsSet());
    EXPECT_EQ(log.Count("Forcefully"), 0);
}

TEST(AfoThread, DestroyingARunningThreadWithoutStopSignalsAbandonsItAtOnce) {
    LogCapture log(1);
    // The event outlives the thread object: the abandoned thread still waits on it.
    static SyncEvent release(SyncEvent::Reset::Manual);
    static SyncEvent done(SyncEvent::Reset::Manual);
    MsgFifo doneQueue;
    uint32_t id = 0;
    {
        AfoThread t(&WaitForEvent, "stuck", &release);
        t.SetDoneEvent(&done);
        t.SetDoneQueue(&doneQueue, 1);
        while (t.ThreadId() == 0)
            std::this_thread::yield();
        id = t.ThreadId();
    }
    // The destructor returned although the function is still blocked.
    EXPECT_TRUE(log.HasLine(
        FormatStr("AfoThread::Terminate() Forcefully terminating thread 'stuck' (0x%X)", id)));
    release.Set();
    // The abandoned thread ends quietly: it no longer signals its former owner.
    EXPECT_FALSE(done.Wait(200));
    EXPECT_EQ(doneQueue.Size(), 0u);
}

TEST(AfoThread, AThreadThatNeverStartedIsEndedForReal) {
    LogCapture log(1);
    std::atomic<int> calls{0};
    { AfoThread t(&ReturnSeven, "never", &calls, true); }
    EXPECT_EQ(log.Count("Forcefully terminating thread 'never'"), 1);
    EXPECT_EQ(calls.load(), 0);
}

TEST(AfoThread, StartThreadRunsAndDeletesItself) {
    LogCapture log(2);
    const size_t before = AfoThread::RegistryCount();
    CurrentProbe probe;
    ASSERT_TRUE(AfoThread::StartThread(&ProbeCurrent, "selfish", &probe, ThreadPriority::Highest));
    {
        std::unique_lock<std::mutex> lock(probe.lock);
        ASSERT_TRUE(
            probe.changed.wait_for(lock, std::chrono::seconds(5), [&] { return probe.done; }));
        EXPECT_EQ(probe.name, "selfish");
        EXPECT_EQ(probe.idReported, probe.idSeen);
    }
    ASSERT_TRUE(log.WaitFor("Thread 'selfish'"));
    // The object goes with its thread, right after the last log line.
    for (int i = 0; i < 500 && AfoThread::RegistryCount() != before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(AfoThread::RegistryCount(), before);
    EXPECT_EQ(AfoThread::Current(), nullptr);
}

TEST(AfoThread, OtherExceptionsAreReportedAsUnknown) {
    LogCapture log(1);
    AfoThread t(&Throws, "thrower", nullptr);
    ASSERT_TRUE(t.WaitEnded(5000));
    EXPECT_TRUE(t.Finished());
    EXPECT_EQ(t.ExitCode(), 0u);
    EXPECT_TRUE(log.HasLine(
        FormatStr("AfoThread::Execute() Thread 'thrower' (0x%X) generated an unknown exception",
                  t.ThreadId())));
}

}  // namespace
}  // namespace jvo
