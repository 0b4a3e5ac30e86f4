// The simulated unit's COM port: its pin takes only a free number (or a dangling pin) and is
// removed only while it is its own; the exclusive mode a killed program leaves is cleared.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "base/Clock.h"
#include "link/UnitClient.h"
#include "link/posix/PortProbe.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo::test {
namespace {

std::string Target(const std::string& link) {
    std::error_code ec;
    return std::filesystem::read_symlink(link, ec).string();
}

TEST(SimPin, ForeignPinsAreLeftAlone) {
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string adapter = dir / "ttyUSB0";  // stands for the user's real adapter
    std::ofstream(adapter) << "";
    ASSERT_EQ(::symlink(adapter.c_str(), (dir / "com5").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "com6").c_str()), 0);  // dangling

    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimSerialPort first(unit), second(unit), third(unit);
    ASSERT_TRUE(first.Start() && second.Start() && third.Start());
    std::string why;
    EXPECT_FALSE(first.Pin(5, dir.Path(), &why));
    EXPECT_NE(why.find("com5"), std::string::npos) << why;
    EXPECT_EQ(Target(dir / "com5"), adapter);

    ASSERT_TRUE(first.Pin(6, dir.Path()));  // the dangling pin is replaced
    EXPECT_EQ(Target(dir / "com6"), first.DevicePath());
    EXPECT_FALSE(second.Pin(6, dir.Path()));  // a running simulator's pin
    EXPECT_EQ(Target(dir / "com6"), first.DevicePath());

    ASSERT_TRUE(third.Pin(7, dir.Path()));
    third.Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "com7")));

    // The user re-pins COM6 while the first simulator runs: its exit leaves the new pin.
    ASSERT_EQ(::unlink((dir / "com6").c_str()), 0);
    ASSERT_EQ(::symlink(adapter.c_str(), (dir / "com6").c_str()), 0);
    first.Stop();
    EXPECT_EQ(Target(dir / "com6"), adapter);
}

// A program killed while it has the port open leaves the terminal in exclusive mode, and the
// pty's own descriptor keeps it so: the port would be missing from every list and refused to
// everybody but root until the simulator restarts.
TEST(SimSerialExclusive, ClearedOnceItsHolderIsKilled) {
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimSerialPort port(unit);
    ASSERT_TRUE(port.Start());
    const std::string path = port.DevicePath();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        // Holds the port as the programs do (lock, then exclusive mode) until it is killed.
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const char held =
            fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ioctl(fd, TIOCEXCL) == 0 ? 'y'
                                                                                         : 'n';
        (void)!::write(ready[1], &held, 1);
        for (;;)
            ::pause();
    }
    ::close(ready[1]);
    char held = 0;
    EXPECT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(held, 'y');
    // While the holder lives its port stays held, however often the simulator looks.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ProbeSerialPort(path, {}), ProbeResult::Held);

    ::kill(holder, SIGKILL);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    EXPECT_TRUE(WaitFor([&] { return ProbeSerialPort(path, {}) == ProbeResult::Usable; }));
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(path, 115200));
    UnitClient client(&link, 0);
    uint16_t state = 0;
    uint32_t value = 0;
    EXPECT_TRUE(client.GetStatus(state, value));
}

}  // namespace
}  // namespace jvo::test
