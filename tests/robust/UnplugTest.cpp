// The serial line unplugged in the middle of a transaction (the pseudo-terminal closed): the
// waiting transaction fails, the port's reader thread ends, the process then stays idle, and later
// transactions fail at once instead of waiting out their time-out. Unplugged in the middle of a
// poll cycle, the monitor's worker reports the loss once and then waits quietly.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/Pty.h"
#include "link/UnitLink.h"
#include "monitor/PollWorker.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "tests/monitor/PollTestUtil.h"

namespace jvo {
namespace {

using Clock = std::chrono::steady_clock;

int64_t CpuMicros() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000ll + r.ru_utime.tv_usec +
           r.ru_stime.tv_usec;
}

// CPU time the process uses over `ms` of real time, as a fraction of it.
double CpuShare(int ms) {
    const int64_t cpu0 = CpuMicros();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    const int64_t cpu = CpuMicros() - cpu0;
    const auto wall = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0);
    return static_cast<double>(cpu) / static_cast<double>(wall.count());
}

class LineCounter : public CAppLog::Sink {
public:
    LineCounter() { CAppLog::Instance().AddSink(this); }
    ~LineCounter() override { CAppLog::Instance().RemoveSink(this); }
    void Write(const char* line) override {
        if (std::strstr(line, "reader ends")) m_ReaderEnded = true;
        ++m_Lines;
    }
    std::atomic<int> m_Lines{0};
    std::atomic<bool> m_ReaderEnded{false};  // the port's reader said it ended
};

template <class F>
bool Within(int ms, F done) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool Status(UnitLink& link, int32_t timeoutMs) {
    MsgBuf request(16);
    MsgBuf reply(1200);
    request.Put8(CMD_GET_STATUS);
    return link.Transact(0, request, reply, kProtocolByte, timeoutMs);
}

TEST(Unplug, ThePtyClosedInTheMiddleOfATransaction) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), kDefaultBaud));
    ASSERT_TRUE(link.Port().ReaderRunning());

    std::atomic<bool> finished{false};
    std::atomic<bool> result{true};
    std::thread transaction([&] {
        result = Status(link, 5000);
        finished = true;
    });
    uint8_t request[64];
    ASSERT_GT(pty.Read(request, sizeof request, 5000), 0);  // the request is on the line
    const auto unplugged = Clock::now();
    pty.Close();  // and the line goes away

    // The reader's end wakes the waiting transaction: it fails well before its 5 s time-out
    // (the bounds below leave room for a loaded machine).
    EXPECT_TRUE(Within(5000, [&] { return finished.load(); }));
    EXPECT_LT(Clock::now() - unplugged, std::chrono::milliseconds(2500));
    transaction.join();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(link.Port().ReaderRunning());

    // Nothing spins: over a second the whole process uses well under a tenth of it.
    EXPECT_LT(CpuShare(1000), 0.1);

    // Later transactions fail at once rather than after their 5 s time-out.
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_FALSE(Status(link, 5000));
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500)) << i;
    }
    link.Disconnect();
}

TEST(Unplug, ThePtyClosedInTheMiddleOfAPollCycle) {
    ManualClock unitClock(10'000);
    sim::SimUnit unit(unitClock, sim::MakeDemoConfig());
    sim::SimSerialPort port(unit);
    ASSERT_TRUE(port.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), kDefaultBaud));
    const UnitConfig config = unit.Current();
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::NotifyQueue notify;
    test::NoteCollector notes(notify);
    monitor::CPolledIPC ipc;
    // Quick reopen attempts: even they must not flood the log or keep the CPU busy.
    monitor::PollTimings timings;
    timings.reopenFirstMs = 50;
    timings.reopenMaxMs = 200;
    monitor::PollWorker worker(ipc, link, config, readings, logs, notify, SystemClock::Instance(),
                               timings);
    // The line goes in the middle of the second cycle, among its breaker readings.
    std::atomic<int> breakers{0};
    SyncEvent midCycle(SyncEvent::Reset::Manual, false);
    worker.SetRequestHook([&](uint8_t command) {
        if (worker.Cycles() >= 1 && command == CMD_GET_BREAKER_READING && ++breakers == 5)
            midCycle.Set();
    });
    worker.Launch();
    ASSERT_EQ(ipc.Post(monitor::PollCmdStart, 0), 0);
    ASSERT_TRUE(midCycle.Wait(30000));

    LineCounter lines;
    const uint64_t cycles = worker.Cycles();
    port.Stop();
    ASSERT_TRUE(Within(5000, [&] { return !notes.Trouble().empty(); }));
    EXPECT_EQ(worker.Cycles(), cycles);

    // Lost and quiet: the process idles, and the log and the notifications stay as they were.
    // (The port's reader may say it ended just after the poll worker saw the loss.)
    ASSERT_TRUE(Within(5000, [&] { return lines.m_ReaderEnded.load(); }));
    const int linesWhenLost = lines.m_Lines.load();
    EXPECT_LT(CpuShare(2000), 0.1);
    EXPECT_EQ(lines.m_Lines.load(), linesWhenLost);
    EXPECT_LE(linesWhenLost, 5);
    EXPECT_EQ(notes.Trouble(),
              (std::vector<std::pair<int, int>>{{monitor::TROUBLE_TRANSPORT_LOST, 1}}));
    EXPECT_TRUE(worker.TransportLost());

    const auto stopping = Clock::now();
    worker.Stop();
    EXPECT_LT(Clock::now() - stopping, std::chrono::milliseconds(2500));
    EXPECT_EQ(worker.End(), monitor::PollEnd::STOPPED);
}

}  // namespace
}  // namespace jvo
