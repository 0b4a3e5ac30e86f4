// Both window programs asked to end from outside while they hold the simulated unit's port:
// Ctrl+C (SIGINT) or SIGTERM ends each one with status 0 and without a question, and the port can
// be had again at once.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/Clock.h"
#include "link/UnitClient.h"
#include "link/posix/PortProbe.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "tests/TestProcess.h"

namespace jvo::test {
namespace {

constexpr int kCom = 3;

template <class Fn>
bool WaitUntil(Fn&& done, int ms = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class EndRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(port.Pin(kCom, dir.File("ports")));
    }

    pid_t Spawn(const char* program, std::vector<std::string> args) {
        return SpawnProgram(program, std::move(args), dir.File("err.txt"),
                            {"JVO_PORT_DIR=" + dir.File("ports"), "QT_QPA_PLATFORM=offscreen",
                             "XDG_STATE_HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + dir.Path()});
    }
    // Sends `signal` and expects the program to end by itself with status 0, leaving the port
    // free for the next program.
    void EndsCleanly(pid_t pid, int signal) {
        ASSERT_EQ(::kill(pid, signal), 0);
        int status = -1;
        EXPECT_TRUE(WaitProgram(pid, 30000, status)) << "did not end";
        const std::vector<uint8_t> err = ReadBytes(dir.File("err.txt"));
        EXPECT_EQ(status, 0) << std::string(err.begin(), err.end());
        EXPECT_EQ(ProbeSerialPort(port.DevicePath(), {}), ProbeResult::Usable);
        UnitLink link;
        ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), 115200));
        UnitClient client(&link, 0);
        uint16_t state = 0;
        uint32_t value = 0;
        EXPECT_TRUE(client.GetStatus(state, value));
    }
    // The program has the port and has talked to the unit.
    bool Holds(uint64_t frames) {
        return WaitUntil([&] {
            return port.FramesReceived() >= frames &&
                   ProbeSerialPort(port.DevicePath(), {}) == ProbeResult::Held;
        });
    }

    TempDir dir;
    sim::SimUnit unit{SystemClock::Instance(), sim::MakeDemoConfig()};
    sim::SimSerialPort port{unit};
};

TEST_F(EndRequestTest, ConfigToolOnTermWhenIdleAndOnInterruptDuringAnExtract) {
    pid_t pid = Spawn(JVO_CONFIG_PATH, {"--com", std::to_string(kCom)});
    ASSERT_GT(pid, 0);
    // The extract has ended when the unit has heard nothing for a while.
    ASSERT_TRUE(Holds(50) && WaitUntil([&] { return port.IdleMs() > 500; }));
    EndsCleanly(pid, SIGTERM);

    // In the middle of the extract: it is let end, then the window closes without a question.
    const uint64_t before = port.FramesReceived();
    pid = Spawn(JVO_CONFIG_PATH, {"--com", std::to_string(kCom)});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Holds(before + 5));
    EndsCleanly(pid, SIGINT);
}

TEST_F(EndRequestTest, MonitorOnInterruptWhilePollingAndOnTerm) {
    for (const int signal : {SIGINT, SIGTERM}) {
        const uint64_t before = port.FramesReceived();
        const pid_t pid = Spawn(JVO_MONITOR_PATH, {"--com", std::to_string(kCom)});
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(Holds(before + 300));  // connected, and the worker polls
        EndsCleanly(pid, signal);
    }
}

}  // namespace
}  // namespace jvo::test
