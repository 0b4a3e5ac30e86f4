#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "base/SyncEvent.h"
#include "link/win32/Win32SerialDevice.h"

namespace jvo {
namespace {

// The COM port of a live unit, given by the stage windows (Wine links it to the simulator's pty);
// 0 without one.
int TestCom() {
    const char* com = std::getenv("JVO_TEST_COM");
    return com && *com ? std::atoi(com) : 0;
}

// Windows cancels the I/O a thread started when the thread ends. A transaction's caller may start
// the port's wait for input and end before it completes: the port is not lost by that.
TEST(Win32Serial, AWaitLeftByAThreadThatEndedIsNoHangUp) {
    const int com = TestCom();
    if (com == 0)
        GTEST_SKIP() << "no COM port of a unit (JVO_TEST_COM): the stage windows gives one";
    Win32SerialDevice port;
    ASSERT_TRUE(port.Open("COM" + std::to_string(com), 115200)) << port.OpenProblem();
    SyncEvent wake(SyncEvent::Reset::Auto);
    for (int round = 0; round < 3; ++round) {
        ISerialDevice::WaitResult inThread = ISerialDevice::WaitResult::Gone;
        std::thread([&] { inThread = port.WaitInput(wake, 30); }).join();
        EXPECT_EQ(inThread, ISerialDevice::WaitResult::TimedOut);
        // The unit says nothing unasked: the wait runs out, the port stays.
        EXPECT_EQ(port.WaitInput(wake, 100), ISerialDevice::WaitResult::TimedOut) << round;
    }
    wake.Set();
    EXPECT_EQ(port.WaitInput(wake, 1000), ISerialDevice::WaitResult::Woken);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace jvo
