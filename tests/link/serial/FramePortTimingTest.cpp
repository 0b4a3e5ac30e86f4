// Real-time bounds of the frame port (run in the plain build only).
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/FramePort.h"
#include "link/Pty.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo {
namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

double ProcessCpuMs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

TEST(FramePortTiming, GetFrameWaitsItsTimeOut) {
    CFramePort port;
    auto start = Clock::now();
    EXPECT_EQ(port.GetFrame(250), nullptr);
    const long ms = ElapsedMs(start);
    EXPECT_GE(ms, 249);
    EXPECT_LT(ms, 5000);

    Pty pty;
    ASSERT_TRUE(pty.Open());
    ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), 115200));
    start = Clock::now();
    EXPECT_EQ(port.GetFrame(250), nullptr);
    EXPECT_GE(ElapsedMs(start), 249);
    // A frame that arrives during the wait ends it early.
    std::thread unit([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const test::Bytes w = test::Wire({0x01, 0x02, 0x03});
        pty.Write(w.data(), w.size());
    });
    start = Clock::now();
    FrameBuf* f = port.GetFrame(10000);
    const long got = ElapsedMs(start);
    unit.join();
    ASSERT_NE(f, nullptr);
    FramePool::Instance().Release(f);
    EXPECT_LT(got, 5000);
}

TEST(FramePortTiming, CloseJoinsPromptlyAndHangUpDoesNotSpin) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    CFramePort port;
    ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), 115200));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto start = Clock::now();
    port.Close();
    EXPECT_LT(ElapsedMs(start), 2000);

    ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), 115200));
    pty.CloseMaster();
    ASSERT_TRUE(test::WaitFor([&] { return !port.ReaderRunning(); }));
    // Idle after the hang-up: waiting for a frame costs next to no processor time.
    const double cpu = ProcessCpuMs();
    EXPECT_EQ(port.GetFrame(300), nullptr);
    EXPECT_LT(ProcessCpuMs() - cpu, 100.0);
    start = Clock::now();
    port.Close();
    EXPECT_LT(ElapsedMs(start), 2000);
}

}  // namespace
}  // namespace jvo
