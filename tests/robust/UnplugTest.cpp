// The serial line unplugged in the middle of a transaction (the pseudo-terminal closed): the
// waiting transaction fails, the port's reader thread ends, the process then stays idle, and later
// transactions fail at once instead of waiting out their time-out.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/Commands.h"
#include "link/UnitLink.h"
#include "link/posix/Pty.h"

namespace jvo {
namespace {

using Clock = std::chrono::steady_clock;

int64_t CpuMicros() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000000ll + r.ru_utime.tv_usec +
           r.ru_stime.tv_usec;
}

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

    // The reader's end wakes the waiting transaction: it fails well before its 5 s time-out.
    EXPECT_TRUE(Within(5000, [&] { return finished.load(); }));
    EXPECT_LT(Clock::now() - unplugged, std::chrono::milliseconds(1000));
    transaction.join();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(link.Port().ReaderRunning());

    // Nothing spins: over a second the whole process uses well under a tenth of it.
    const int64_t cpu0 = CpuMicros();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int64_t cpu = CpuMicros() - cpu0;
    const int64_t wall =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
    EXPECT_LT(cpu, wall / 10) << cpu << " us of CPU in " << wall << " us";

    // Later transactions fail at once rather than after their 5 s time-out.
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        EXPECT_FALSE(Status(link, 5000));
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000)) << i;
    }
    link.Disconnect();
}

}  // namespace
}  // namespace jvo
