// Real-time behaviour of the simulated unit's transports: fault delays, cancelled waits and line
// pacing. Bounds are one-sided (a loaded machine only makes things slower) and generous.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "sim/SimProxy.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

TEST(SimBackendTiming, FaultsDelayAndTimeOutAsAUnitBehindAProxyWould) {
    ManualClock clock(0);
    sim::SimUnit unit(clock, sim::MakeDemoConfig());
    sim::SimUnitBackend backend(unit);
    const uint8_t req[] = {CMD_GET_SCHEMA_VERSION};
    std::vector<uint8_t> reply;

    sim::UnitFaults f;
    f.silent = true;
    backend.SetFaults(f);
    auto start = Clock::now();
    EXPECT_FALSE(backend.Transact(0, req, 1, reply, 100));
    EXPECT_GE(Clock::now() - start, Ms(100));

    f = {};
    f.lateFraction = 1.0;
    f.lateMs = 60;
    backend.SetFaults(f);
    start = Clock::now();
    ASSERT_TRUE(backend.Transact(0, req, 1, reply, 250));
    EXPECT_GE(Clock::now() - start, Ms(60));
    EXPECT_EQ(reply, (std::vector<uint8_t>{'d', 4, 0}));
    f.lateMs = 300;  // later than the time-out: given up after the time-out
    backend.SetFaults(f);
    start = Clock::now();
    EXPECT_FALSE(backend.Transact(0, req, 1, reply, 100));
    const auto took = Clock::now() - start;
    EXPECT_GE(took, Ms(100));
    EXPECT_TRUE(reply.empty());

    // Shut-down cuts a wait short, and the backend stays cancelled.
    f = {};
    f.silent = true;
    backend.SetFaults(f);
    std::thread canceller([&] {
        std::this_thread::sleep_for(Ms(50));
        backend.Cancel();
    });
    start = Clock::now();
    EXPECT_FALSE(backend.Transact(0, req, 1, reply, 20'000));
    EXPECT_LT(Clock::now() - start, Ms(10'000));
    canceller.join();
    backend.SetFaults({});
    EXPECT_FALSE(backend.Transact(0, req, 1, reply, 20'000));
}

TEST(SimBackendTiming, PacingAddsTheWireTimeOfBothFrames) {
    ManualClock clock(0);
    sim::SimUnit unit(clock, sim::MakeDemoConfig());
    sim::SimUnitBackend backend(unit, {}, 9600);
    const uint8_t req[] = {CMD_GET_PANEL_READINGS, 0};
    std::vector<uint8_t> reply;
    // 2 + 4 + 2 + 2 bytes out, 2 + 4 + 101 + 2 back (escapes aside): about 124 ms at 9600 baud.
    const auto start = Clock::now();
    ASSERT_TRUE(backend.Transact(0, req, 2, reply, 1000));
    EXPECT_GE(Clock::now() - start, Ms(120));
    EXPECT_EQ(reply.size(), 101u);
}

// A paced serial line takes at least the wire time of the bytes it carries.
TEST(SimSerialTiming, PacedLineTakesAtLeastTheWireTime) {
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SerialOptions options;
    options.baud = 19200;
    sim::SimSerialPort port(unit, options);
    ASSERT_TRUE(port.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), 115200));
    UnitClient client(&link, 0);
    const auto start = Clock::now();
    UnitRecord rec;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(client.GetUnitRecord(0, rec));
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    const int64_t bytes = static_cast<int64_t>(port.BytesReceived() + port.BytesSent());
    EXPECT_GT(bytes, 10 * 100);
    EXPECT_GE(took.count(), sim::WireMicros(bytes, 19200) - 1000);
}

}  // namespace
}  // namespace jvo::test
