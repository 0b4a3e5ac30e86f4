// The monitor's poll worker against a simulated unit on a noisy line: 5 % of the replies each are
// lost, damaged, late, sent twice, held back behind the next one, and preceded by foreign frames
// (plus stale copies). The unit tags its readings with the request they answer, so every value
// the store holds can be checked against the slot it sits in. The run shows that nothing
// crashes (and, under LeakSanitizer, nothing leaks), that cycles keep completing, and that no
// reading ever lands in another request's slot.
//
// 60 s by default; JVO_SOAK_SECONDS sets another length. The long run (10 minutes) is the build
// target soak_long.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/AppLog.h"
#include "link/Commands.h"
#include "monitor/PollWorker.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/monitor/TagCheck.h"

namespace jvo::test {
namespace {

using Clock = std::chrono::steady_clock;

int SoakSeconds() {
    const char* text = std::getenv("JVO_SOAK_SECONDS");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 60;
}

TEST(Soak, PollingANoisyLineShowsOnlyEachRequestsOwnAnswer) {
    const int seconds = SoakSeconds();
    // Every lost reply is logged; thousands of lines would drown a failure's own report.
    CAppLog::Instance().SetDebugChannel(false);
    ManualClock unitClock(10'000);
    sim::SimOptions options;
    options.tagReadings = true;
    sim::SimUnit unit(unitClock, sim::MakeDemoConfig(), options);
    sim::SerialOptions line;
    line.faults.dropFraction = 0.05;
    line.faults.corruptFraction = 0.05;
    line.faults.lateFraction = 0.05;
    line.faults.lateMs = 200;  // beyond the reply time-out: the reply turns up stale
    line.faults.duplicateFraction = 0.05;
    line.faults.reorderFraction = 0.05;
    line.faults.foreignFraction = 0.05;
    line.faults.staleFraction = 0.05;
    line.faults.seed = 15;
    sim::SimSerialPort port(unit, line);
    ASSERT_TRUE(port.Start());

    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), kDefaultBaud));
    const UnitConfig config = unit.Current();
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::NotifyQueue notify;
    NoteCollector notes(notify);
    monitor::CPolledIPC ipc;
    monitor::PollTimings timings;
    timings.replyTimeoutMs = 150;
    monitor::PollWorker worker(ipc, link, config, readings, logs, notify, SystemClock::Instance(),
                               timings);
    worker.Launch();
    ASSERT_EQ(ipc.Post(monitor::PollCmdStart, 0), 0);

    // Checked once a second; every window of 30 s completes at least one cycle.
    constexpr int kWindowSeconds = 30;
    TagCheck check;
    const auto start = Clock::now();
    uint64_t windowStart = 0;
    int slowWindows = 0;
    for (int s = 1; s <= seconds; ++s) {
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
        check.Store(readings.Snapshot(), config);
        notes.All();  // the UI thread keeps taking its notifications
        if (s % kWindowSeconds == 0 || s == seconds) {
            const uint64_t cycles = worker.Cycles();
            if (cycles == windowStart) ++slowWindows;
            windowStart = cycles;
        }
    }
    worker.Stop();
    EXPECT_EQ(worker.End(), monitor::PollEnd::STOPPED);

    // After the run every slot holds a tagged reading.
    TagCheck last;
    last.Store(readings.Snapshot(), config);
    EXPECT_EQ(last.m_Empty, 0);
    EXPECT_EQ(last.m_Bad, 0);
    EXPECT_EQ(check.m_Bad, 0);
    EXPECT_EQ(slowWindows, 0) << "a window of " << kWindowSeconds << " s completed no cycle";
    EXPECT_GE(worker.Cycles(), 1u);

    // Every fault was injected, and the link saw the damaged frames.
    const sim::SerialFaultCounts f = port.FaultCounts();
    EXPECT_GT(f.dropped, 0u);
    EXPECT_GT(f.corrupted, 0u);
    EXPECT_GT(f.late, 0u);
    EXPECT_GT(f.duplicated, 0u);
    EXPECT_GT(f.reordered, 0u);
    EXPECT_GT(f.foreign, 0u);
    EXPECT_GT(f.stale, 0u);
    EXPECT_GT(link.Port().CrcErrors() + link.Port().BadEscapes() + link.Port().ShortFrames(), 0u);
    std::printf(
        "soak %d s: %llu cycles, %llu requests; dropped %llu corrupted %llu late %llu "
        "duplicated %llu reordered %llu foreign %llu stale %llu; link CRC errors %u\n",
        seconds, static_cast<unsigned long long>(worker.Cycles()),
        static_cast<unsigned long long>(port.FramesReceived()),
        static_cast<unsigned long long>(f.dropped), static_cast<unsigned long long>(f.corrupted),
        static_cast<unsigned long long>(f.late), static_cast<unsigned long long>(f.duplicated),
        static_cast<unsigned long long>(f.reordered), static_cast<unsigned long long>(f.foreign),
        static_cast<unsigned long long>(f.stale), link.Port().CrcErrors());
    link.Disconnect();
}

}  // namespace
}  // namespace jvo::test
