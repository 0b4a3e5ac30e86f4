// COM port numbering: pins in the port directory, the machine's devices on the lowest free
// numbers, by-id names, and probing. Each test builds its own device and port directories.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <optional>

#include "link/FramePort.h"
#include "link/PortDirectory.h"
#include "link/Pty.h"
#include "link/UnitLink.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo {
namespace {

using test::TempDir;

class PortDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dev.Path().empty());
        ASSERT_FALSE(ports.Path().empty());
        roots.devRoot = dev.Path();
        roots.portDir = ports.Path();
    }
    void Device(const std::string& name) { std::ofstream(dev / name) << ""; }
    void Pin(const std::string& name, const std::string& target) {
        ASSERT_EQ(::symlink(target.c_str(), (ports / name).c_str()), 0) << name;
    }
    // "number:device-name[:by-id]" for each listed port, for compact comparisons.
    std::vector<std::string> Listing() {
        std::vector<std::string> out;
        for (const PortEntry& e : ListComPorts(roots)) {
            std::string rel = e.path.rfind(dev.Path() + "/", 0) == 0
                                  ? e.path.substr(dev.Path().size() + 1)
                                  : e.path;
            out.push_back(std::to_string(e.number) + ":" + rel +
                          (e.byId.empty() ? "" : ":" + e.byId));
        }
        return out;
    }
    TempDir dev, ports;
    PortRoots roots;
};

using Names = std::vector<std::string>;

TEST_F(PortDirectoryTest, UnpinnedDevicesInFamilyAndNaturalOrder) {
    for (const char* n : {"ttyS1", "ttyS0", "ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS10", "ttyS2",
                          "ttyUSB", "ttyprintk", "tty0", "ttyUSBx1", "console"})
        Device(n);
    EXPECT_EQ(Listing(), (Names{"1:ttyUSB2", "2:ttyUSB10", "3:ttyACM0", "4:ttyS0", "5:ttyS1",
                                "6:ttyS2", "7:ttyS10"}));
    EXPECT_EQ(ResolveComPort(2, roots), dev / "ttyUSB10");
    EXPECT_EQ(ResolveComPort(8, roots), "");
    EXPECT_EQ(ResolveComPort(0, roots), "");
    EXPECT_EQ(ResolveComPort(33, roots), "");
}

TEST_F(PortDirectoryTest, PinsTakeTheirNumbersOthersFillTheGaps) {
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0"})
        Device(n);
    Pin("com2", dev / "ttyS0");
    Pin("com1", dev / "ttyUSB7");  // device absent: number 1 stays reserved
    Pin("com5", "../" + std::filesystem::path(dev.Path()).filename().string() + "/ttyUSB1");
    // Not pins: out of range, leading zero, other names.
    Pin("com0", dev / "ttyUSB0");
    Pin("com33", dev / "ttyUSB0");
    Pin("com03", dev / "ttyUSB0");
    Pin("COM4", dev / "ttyUSB0");
    Pin("com4x", dev / "ttyUSB0");
    EXPECT_EQ(Listing(), (Names{"2:ttyS0", "3:ttyUSB0", "4:ttyACM0", "5:ttyUSB1"}));
    EXPECT_EQ(ResolveComPort(1, roots), "");
    EXPECT_EQ(ResolveComPort(5, roots), dev / "ttyUSB1");
}

TEST_F(PortDirectoryTest, ByIdNamesAndPinsToThem) {
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyACM0"})
        Device(n);
    std::filesystem::create_directories(dev / "serial/by-id");
    ASSERT_EQ(
        ::symlink("../../ttyUSB1", (dev / "serial/by-id/usb-FTDI_FT232R_A1-if00-port0").c_str()),
        0);
    ASSERT_EQ(::symlink("../../ttyACM0", (dev / "serial/by-id/usb-Maker_Unit_42-if00").c_str()), 0);
    ASSERT_EQ(::symlink("../../ttyUSB9", (dev / "serial/by-id/usb-Gone-if00").c_str()), 0);
    Pin("com7", dev / "serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
    EXPECT_EQ(Listing(), (Names{"1:ttyUSB0", "2:ttyACM0:usb-Maker_Unit_42-if00",
                                "7:ttyUSB1:usb-FTDI_FT232R_A1-if00-port0"}));
    EXPECT_EQ(ResolveComPort(7, roots), dev / "ttyUSB1");
}

TEST_F(PortDirectoryTest, AtMostThirtyTwoPortsAndNoPortDirectory) {
    for (int i = 0; i < 40; ++i)
        Device("ttyS" + std::to_string(i));
    Pin("com1", dev / "ttyS39");
    const std::vector<PortEntry> all = ListComPorts(roots);
    ASSERT_EQ(all.size(), 32u);
    EXPECT_EQ(all.front().path, dev / "ttyS39");
    EXPECT_EQ(all[1].path, dev / "ttyS0");
    EXPECT_EQ(all.back().number, 32);
    EXPECT_EQ(all.back().path, dev / "ttyS30");
    // Without a port directory everything is numbered in order.
    roots.portDir = ports / "does-not-exist";
    EXPECT_EQ(ResolveComPort(1, roots), dev / "ttyS0");
}

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_Name(name) {
        if (const char* old = std::getenv(name)) m_Old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_Old)
            ::setenv(m_Name, m_Old->c_str(), 1);
        else
            ::unsetenv(m_Name);
    }

private:
    const char* m_Name;
    std::optional<std::string> m_Old;
};

TEST_F(PortDirectoryTest, DefaultPortDirectory) {
    {
        ScopedEnv dir("JVO_PORT_DIR", nullptr);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(PortRoots::Default().portDir, "/home/someone/.config/jvo/ports");
        EXPECT_EQ(PortRoots::Default().devRoot, "/dev");
    }
    ScopedEnv dir("JVO_PORT_DIR", ports.Path().c_str());
    EXPECT_EQ(PortRoots::Default().portDir, ports.Path());
}

TEST_F(PortDirectoryTest, OpenByNumberAndProbe) {
    Pty free, busy;
    ASSERT_TRUE(free.Open());
    ASSERT_TRUE(busy.Open());
    Pin("com3", free.SlavePath());
    Pin("com4", busy.SlavePath());
    Pin("com6", dev / "ttyUSB0");  // a file, not a terminal
    Device("ttyUSB0");
    CFramePort holder;
    ASSERT_TRUE(holder.OpenDevice(busy.SlavePath(), 115200));

    testing::internal::CaptureStdout();  // the non-terminal reports its set-up failure there
    const std::vector<PortEntry> usable = ProbeComPorts(roots);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(usable.size(), 1u);
    EXPECT_EQ(usable[0].number, 3);
    EXPECT_EQ(usable[0].path, free.SlavePath());

    // Opening by number goes through the same directory.
    UnitLink link;
    link.SetPortRoots(roots);
    ASSERT_TRUE(link.OpenSerial(3, 115200));
    const test::Bytes wire = test::Wire({0x31, 0x32, 0x33});
    ASSERT_TRUE(free.Write(wire.data(), wire.size()));
    FrameBuf* f = link.Port().GetFrame(5000);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->length, 3);
    FramePool::Instance().Release(f);
    for (const int n : {4, 5, 40}) {  // held by another port, no such port, out of range
        UnitLink other;
        other.SetPortRoots(roots);
        EXPECT_FALSE(other.OpenSerial(n, 115200)) << "COM" << n;
    }
}

// Another program has the port open at 9600 baud in canonical mode with a line waiting, and
// holds no lock: the probe lists the port and leaves it exactly as it was. Announced holders are
// not listed.
TEST_F(PortDirectoryTest, ProbeLeavesAHeldPortAsItWas) {
    Pty held, locked, stale;
    ASSERT_TRUE(held.Open());
    ASSERT_TRUE(locked.Open());
    ASSERT_TRUE(stale.Open());
    Pin("com2", held.SlavePath());
    Pin("com3", locked.SlavePath());
    Pin("com4", stale.SlavePath());
    TempDir locks;
    roots.lockDirs = {locks.Path()};
    auto lockFile = [&](const Pty& pty, long pid) {
        const std::string base = pty.SlavePath().substr(pty.SlavePath().rfind('/') + 1);
        std::ofstream(locks / ("LCK.." + base)) << std::setw(10) << pid << "\n";
    };
    lockFile(locked, static_cast<long>(::getpid()));
    lockFile(stale, 999999999L);  // no such process: a stale lock
    // Two more holders that leave no lock file: one by the advisory lock, one by the terminal's
    // exclusive mode.
    Pty flocked, exclusive;
    ASSERT_TRUE(flocked.Open());
    ASSERT_TRUE(exclusive.Open());
    Pin("com5", flocked.SlavePath());
    Pin("com6", exclusive.SlavePath());
    const int flockFd = ::open(flocked.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    const int exclFd = ::open(exclusive.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(flockFd, 0);
    ASSERT_GE(exclFd, 0);
    ASSERT_EQ(::flock(flockFd, LOCK_EX | LOCK_NB), 0);
    ASSERT_EQ(::ioctl(exclFd, TIOCEXCL), 0);

    const int fd = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    tio.c_lflag |= ICANON;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    const uint8_t line[] = {'a', 'b', 'c', 'd', '\n'};
    ASSERT_TRUE(held.Write(line, sizeof line));
    int waiting = 0;
    ASSERT_TRUE(
        test::WaitFor([&] { return ::ioctl(fd, FIONREAD, &waiting) == 0 && waiting == 5; }));

    std::vector<int> numbers;
    for (const PortEntry& e : ProbeComPorts(roots))
        numbers.push_back(e.number);
    EXPECT_EQ(numbers, (std::vector<int>{2, 4}));

    termios after{};
    ASSERT_EQ(::tcgetattr(fd, &after), 0);
    EXPECT_EQ(::cfgetispeed(&after), static_cast<speed_t>(B9600));
    EXPECT_NE(after.c_lflag & ICANON, 0u);
    EXPECT_EQ(::ioctl(fd, FIONREAD, &waiting), 0);
    EXPECT_EQ(waiting, 5);
    int stillExclusive = 0;
    EXPECT_EQ(::ioctl(exclFd, TIOCGEXCL, &stillExclusive), 0);
    EXPECT_NE(stillExclusive, 0);
    ::close(fd);
    ::close(flockFd);
    ::close(exclFd);
}

}  // namespace
}  // namespace jvo
