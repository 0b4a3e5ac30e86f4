// CFramePort and PosixSerialDevice over a pseudo-terminal: the port opens the slave path, the
// test plays the unit on the master.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "link/AppLog.h"
#include "link/FramePort.h"
#include "link/Pty.h"
#include "link/posix/PosixSerialDevice.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo {
namespace {

using test::Bytes;
using test::ReadMaster;
using test::WaitFor;
using test::Wire;

constexpr int kBaud = 115200;

FrameBuf* MakeFrame(const Bytes& body) {
    FrameBuf* f = FramePool::Instance().Acquire();
    std::copy(body.begin(), body.end(), f->data);
    f->length = static_cast<int32_t>(body.size());
    return f;
}

Bytes TakeBody(CFramePort& port, int32_t timeoutMs = 5000) {
    FrameBuf* f = port.GetFrame(timeoutMs);
    if (!f) return {};
    Bytes b(f->data, f->data + f->length);
    FramePool::Instance().Release(f);
    return b;
}

// A log sink that keeps the lines, for the checks on diagnostics.
class LogLines : public CAppLog::Sink {
public:
    LogLines() { CAppLog::Instance().AddSink(this); }
    ~LogLines() override { CAppLog::Instance().RemoveSink(this); }
    void Write(const char* line) override {
        std::lock_guard<std::mutex> g(m_Lock);
        m_Text += line;
        m_Text += '\n';
    }
    std::string Text() {
        std::lock_guard<std::mutex> g(m_Lock);
        return m_Text;
    }

private:
    std::mutex m_Lock;
    std::string m_Text;
};

class FramePortPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Open());
        // Leave the line cooked with software flow control, as a fresh terminal may be: the port
        // must set up everything it relies on itself.
        int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        t.c_iflag |= IXON | IXOFF | IXANY | ICRNL | ISTRIP;
        t.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        t.c_oflag |= OPOST | ONLCR;
        ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
        ::close(fd);
        ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), kBaud));
    }
    Pty pty;
    CFramePort port;
};

TEST_F(FramePortPty, FramesBothWaysWithControlCharacters) {
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Baud(), kBaud);
    // Flow-control, line-editing and newline bytes are plain data in both directions.
    const Bytes body = {0x11, 0x13, 0x00, 0x03, 0x04, 0x0A, 0x0D, 0x1A, 0x7F, 0xFF, 0x7E, 0x7D};
    const Bytes wire = Wire(body);
    ASSERT_TRUE(pty.Write(wire.data(), wire.size()));
    EXPECT_EQ(TakeBody(port), body);

    EXPECT_TRUE(port.SendFrame(MakeFrame(body), true));
    EXPECT_EQ(ReadMaster(pty, wire.size()), wire);

    // The protocol's own vectors on the real send path.
    EXPECT_TRUE(port.SendFrame(MakeFrame({0x00, 0xFE, 0x7E, 0x02, 0x47}), true));
    const Bytes status = {0x7E, 0x00, 0xFE, 0x7D, 0x5E, 0x02, 0x47, 0xD6, 0x83, 0x7E};
    EXPECT_EQ(ReadMaster(pty, status.size()), status);
    const Bytes reply = {0x7E, 0xFE, 0x00, 0x05, 0x02, 0x64, 0x04, 0x00, 0x6E, 0x83, 0x7E};
    ASSERT_TRUE(pty.Write(reply.data(), reply.size()));
    EXPECT_EQ(TakeBody(port), (Bytes{0xFE, 0x00, 0x05, 0x02, 0x64, 0x04, 0x00}));

    // Many frames in one burst arrive complete and in order; a noisy prefix is dropped.
    Bytes burst = {0x55, 0x66, 0x77, 0x88};
    for (int i = 0; i < 12; ++i) {
        const Bytes w = Wire(Bytes(300, static_cast<uint8_t>(0x70 + i)));
        burst.insert(burst.end(), w.begin(), w.end());
    }
    ASSERT_TRUE(pty.Write(burst.data(), burst.size()));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(TakeBody(port), Bytes(300, static_cast<uint8_t>(0x70 + i)));
    EXPECT_EQ(port.CrcErrors(), 1u);  // the noise before the first flag
    EXPECT_EQ(port.BadEscapes() + port.ShortFrames() + port.Overruns(), 0u);
}

TEST_F(FramePortPty, LargestFrameAndRefusedLengths) {
    FramePool& pool = FramePool::Instance();
    const Bytes big(kMaxSendBody, 0x7D);  // every byte escaped: the longest line form
    EXPECT_TRUE(port.SendFrame(MakeFrame(big), true));
    const Bytes wire = Wire(big);
    EXPECT_EQ(ReadMaster(pty, wire.size()), wire);

    const int32_t freeBefore = pool.FreeCount();
    FrameBuf* tooLong = pool.Acquire();
    tooLong->length = kMaxSendBody + 1;
    EXPECT_FALSE(port.SendFrame(tooLong, true));
    FrameBuf* negative = pool.Acquire();
    negative->length = -1;
    EXPECT_FALSE(port.SendFrame(negative, true));
    EXPECT_FALSE(port.SendFrame(nullptr, true));
    EXPECT_EQ(pool.FreeCount(), freeBefore);                           // both buffers went back
    EXPECT_EQ(pty.WaitInput(nullptr, 50), Pty::WaitResult::TimedOut);  // nothing was written
}

TEST_F(FramePortPty, SecondOpenIsRefusedAndReopenWorks) {
    // The exclusive flag is up while the port is open.
    int excl = 0;
    {
        int probe = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(probe, 0);  // root passes TIOCEXCL; the advisory lock still refuses below
        ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &excl), 0);
        ::close(probe);
    }
    EXPECT_EQ(excl, 1);

    CFramePort second;
    EXPECT_FALSE(second.OpenDevice(pty.SlavePath(), kBaud));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(port.OpenDevice(pty.SlavePath(), kBaud));  // already open

    port.Close();
    EXPECT_FALSE(port.IsOpen());
    port.Close();  // idempotent
    {
        int probe = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(probe, 0);
        ASSERT_EQ(::ioctl(probe, TIOCGEXCL, &excl), 0);
        ::close(probe);
    }
    EXPECT_EQ(excl, 0);  // released at close, so ordinary users can open it again

    // The other port gets it now; then this one again after that one closes.
    ASSERT_TRUE(second.OpenDevice(pty.SlavePath(), kBaud));
    EXPECT_FALSE(port.OpenDevice(pty.SlavePath(), kBaud));
    second.Close();
    ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), kBaud));
    const Bytes wire = Wire({0x01, 0x02, 0x03});
    ASSERT_TRUE(pty.Write(wire.data(), wire.size()));
    EXPECT_EQ(TakeBody(port), (Bytes{0x01, 0x02, 0x03}));
}

TEST_F(FramePortPty, AnotherProgramsLockRefusesTheOpen) {
    port.Close();
    // Another program holding the advisory lock (as root TIOCEXCL alone would not stop us).
    int other = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    LogLines log;
    EXPECT_FALSE(port.OpenDevice(pty.SlavePath(), kBaud));
    EXPECT_NE(log.Text().find("in use by another program"), std::string::npos) << log.Text();
    ::close(other);
    EXPECT_TRUE(port.OpenDevice(pty.SlavePath(), kBaud));
}

TEST_F(FramePortPty, CloseKeepsQueuedFramesAndStopsReading) {
    const Bytes a = Wire({0xA1, 0xA2}), b = Wire({0xB1, 0xB2});
    ASSERT_TRUE(pty.Write(a.data(), a.size()));
    ASSERT_TRUE(pty.Write(b.data(), b.size()));
    ASSERT_TRUE(WaitFor([&] { return port.QueuedFrames() == 2; }));
    port.Close();
    EXPECT_FALSE(port.ReaderRunning());
    // Bytes written after the close are not received by anyone.
    const Bytes c = Wire({0xC1, 0xC2});
    ASSERT_TRUE(pty.Write(c.data(), c.size()));
    EXPECT_EQ(TakeBody(port), (Bytes{0xA1, 0xA2}));
    EXPECT_EQ(TakeBody(port), (Bytes{0xB1, 0xB2}));
    EXPECT_EQ(port.GetFrame(20), nullptr);
    // Sending on a closed port fails and still returns the buffer.
    const int32_t freeBefore = FramePool::Instance().FreeCount();
    EXPECT_FALSE(port.SendFrame(MakeFrame({0x01}), true));
    EXPECT_EQ(FramePool::Instance().FreeCount(), freeBefore);
}

TEST_F(FramePortPty, PeerHangUpEndsTheReader) {
    const Bytes a = Wire({0x0F, 0x0E, 0x0D});
    ASSERT_TRUE(pty.Write(a.data(), a.size()));
    EXPECT_EQ(TakeBody(port), (Bytes{0x0F, 0x0E, 0x0D}));
    EXPECT_TRUE(port.ReaderRunning());
    pty.CloseMaster();
    EXPECT_TRUE(WaitFor([&] { return !port.ReaderRunning(); }));
    EXPECT_EQ(port.GetFrame(30), nullptr);
    EXPECT_FALSE(port.SendFrame(MakeFrame({0x01, 0x02}), true));
    EXPECT_TRUE(port.IsOpen());  // the owner still closes it
    port.Close();
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(FramePortPty, DestructionWithoutCloseReturnsEveryBuffer) {
    FramePool& pool = FramePool::Instance();
    port.Close();
    const int32_t heldBefore = pool.LiveCount() - pool.FreeCount();
    {
        CFramePort other;
        ASSERT_TRUE(other.OpenDevice(pty.SlavePath(), kBaud));
        const Bytes a = Wire({0x01, 0x02, 0x03});
        ASSERT_TRUE(pty.Write(a.data(), a.size()));
        ASSERT_TRUE(WaitFor([&] { return other.QueuedFrames() == 1; }));
    }
    EXPECT_EQ(pool.LiveCount() - pool.FreeCount(), heldBefore);
}

TEST(Pty, MasterSeesNoHangUpWhenTheClientCloses) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    EXPECT_EQ(pty.SlavePath().rfind("/dev/pts/", 0), 0u) << pty.SlavePath();
    {
        CFramePort port;
        ASSERT_TRUE(port.OpenDevice(pty.SlavePath(), kBaud));
        EXPECT_TRUE(port.SendFrame(MakeFrame({0x01, 0x02, 0x03}), true));
        EXPECT_EQ(ReadMaster(pty, 7).size(), 7u);
    }
    // The client has closed; the master has nothing to report (no endless POLLHUP).
    EXPECT_EQ(pty.WaitInput(nullptr, 50), Pty::WaitResult::TimedOut);
    uint8_t buf[8];
    EXPECT_EQ(pty.Read(buf, sizeof buf, 20), 0);
    // A new client gets a working line.
    CFramePort again;
    ASSERT_TRUE(again.OpenDevice(pty.SlavePath(), kBaud));
    const Bytes w = Wire({0x44, 0x45});
    ASSERT_TRUE(pty.Write(w.data(), w.size()));
    EXPECT_EQ(TakeBody(again), (Bytes{0x44, 0x45}));
}

TEST(PosixSerialDevice, SetUpFailuresArePrintedOnStandardOutput) {
    test::TempDir dir;
    const std::string file = dir / "not-a-tty";
    std::ofstream(file) << "x";
    CFramePort port;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(port.OpenDevice(file, kBaud));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not GetCommState(): Error=25\n");
    EXPECT_FALSE(port.IsOpen());

    Pty pty;
    ASSERT_TRUE(pty.Open());
    testing::internal::CaptureStdout();
    EXPECT_FALSE(port.OpenDevice(pty.SlavePath(), 12345));  // no such line speed
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not SetCommState(): Error=22\n");
    // The failed set-up released the device completely.
    EXPECT_TRUE(port.OpenDevice(pty.SlavePath(), kBaud));

    // A missing device fails quietly on standard output.
    CFramePort other;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(other.OpenDevice(dir / "missing", kBaud));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(PosixSerialDevice, PermissionDeniedNamesTheDialoutGroup) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0600), 0);
    // Root is never refused by file permissions: try as an ordinary user in a child process.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        LogLines log;
        PosixSerialDevice device;
        const bool opened = device.Open(pty.SlavePath(), kBaud);
        ::_exit(!opened && log.Text().find("'dialout' group") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace jvo
