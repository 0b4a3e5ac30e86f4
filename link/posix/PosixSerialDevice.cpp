#include "link/posix/PosixSerialDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/FormatStr.h"
#include "link/AppLog.h"

namespace jvo {

namespace {

const char* ErrText(int err) {
    const char* text = ::strerrordesc_np(err);
    return text ? text : "unknown error";
}

// Set-up failures are reported on standard output, as the operator's console expects them.
void PrintSetupFailure(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

// Gives up exclusivity and closes. The exclusive flag of a tty stays set while any descriptor of
// it is open (a pseudo-terminal's unit side keeps one), so it is cleared first.
void ReleaseAndClose(int fd) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);  // also drops the flock
}

}  // namespace

bool BaudToSpeed(int baud, unsigned* speed) {
    static const struct {
        int baud;
        speed_t speed;
    } kRates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& r : kRates) {
        if (r.baud == baud) {
            *speed = r.speed;
            return true;
        }
    }
    return false;
}

PosixSerialDevice::~PosixSerialDevice() {
    Close();
}

bool PosixSerialDevice::Open(const std::string& path, int baud) {
    if (m_Fd >= 0) {
        m_OpenProblem = "the device is already open";
        return false;
    }
    m_OpenProblem.clear();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        m_OpenProblem = err == ENOENT   ? "the device does not exist"
                        : err == EACCES ? "permission denied: add yourself to the dialout group"
                        : err == EBUSY  ? "it is in use by another program"
                                        : FormatStr("%s (error %d)", ErrText(err), err);
        if (err == EACCES) {
            JVO_LOG1(
                "PosixSerialDevice::Open() %s: permission denied; the user must be a member of the "
                "'dialout' group (sudo usermod -aG dialout $USER, then log in again)",
                path);
        } else if (err == EBUSY) {
            JVO_LOG1("PosixSerialDevice::Open() %s is in use by another program", path);
        } else {
            JVO_LOG2("PosixSerialDevice::Open() Cannot open %s: %s (error %d)", path, ErrText(err),
                     err);
        }
        return false;
    }
    // Exclusive among programs on this machine, root included.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EWOULDBLOCK) {
            JVO_LOG1("PosixSerialDevice::Open() %s is in use by another program", path);
            m_OpenProblem = "it is in use by another program";
            ::close(fd);
            return false;
        }
        JVO_LOG2("PosixSerialDevice::Open() No advisory lock on %s: %s (error %d)", path,
                 ErrText(err), err);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        JVO_LOG2("PosixSerialDevice::Open() TIOCEXCL refused on %s (error %d)", path, errno);
    }

    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int err = errno;
        PrintSetupFailure(FormatStr("Could not GetCommState(): Error=%d\n", err));
        m_OpenProblem = "it is not a serial device";
        ReleaseAndClose(fd);
        return false;
    }
    // Raw 8N1: no line editing, no translation, no parity, no software or hardware flow control
    // (0x11 and 0x13 are ordinary data), receiver on, modem status lines ignored.
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_iflag |= IGNBRK;
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    unsigned speed = 0;
    int setErr = 0;
    if (!BaudToSpeed(baud, &speed)) {
        setErr = EINVAL;
    } else if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
               ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        setErr = errno;
    }
    if (setErr != 0) {
        PrintSetupFailure(FormatStr("Could not SetCommState(): Error=%d\n", setErr));
        m_OpenProblem =
            FormatStr("its line settings were refused (%s, error %d)", ErrText(setErr), setErr);
        ReleaseAndClose(fd);
        return false;
    }

    // DTR and RTS held asserted. Pseudo-terminals have no modem lines and refuse; that is fine.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIS, &lines) != 0) {
        JVO_LOG3("PosixSerialDevice::Open() %s has no modem control lines (error %d)", path, errno);
    }
    // Hand received bytes over at once instead of after the driver's batching delay.
    serial_struct ss{};
    if (::ioctl(fd, TIOCGSERIAL, &ss) != 0) {
        JVO_LOG2("PosixSerialDevice::Open() Low latency not available on %s (error %d)", path,
                 errno);
    } else if ((ss.flags & ASYNC_LOW_LATENCY) == 0) {
        ss.flags |= ASYNC_LOW_LATENCY;
        if (::ioctl(fd, TIOCSSERIAL, &ss) != 0) {
            JVO_LOG2("PosixSerialDevice::Open() Low latency refused on %s (error %d)", path, errno);
        }
    }
    // Start clean: drop whatever arrived before and whatever was still waiting to go out.
    ::tcflush(fd, TCIOFLUSH);
    m_Fd = fd;
    m_Path = path;
    return true;
}

void PosixSerialDevice::Close() {
    if (m_Fd < 0) return;
    ReleaseAndClose(m_Fd);
    m_Fd = -1;
    m_Path.clear();
}

bool PosixSerialDevice::IsPlaceholderUart() const {
    serial_struct ss{};
    if (m_Fd < 0 || ::ioctl(m_Fd, TIOCGSERIAL, &ss) != 0) return false;
    return ss.type == PORT_UNKNOWN;
}

ISerialDevice::WaitResult PosixSerialDevice::WaitInput(SyncEvent& wake, int32_t timeoutMs) {
    if (m_Fd < 0) return WaitResult::Gone;
    pollfd fds[2] = {{static_cast<int>(wake.Native()), POLLIN, 0}, {m_Fd, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
        if (n < 0) {
            if (errno == EINTR) continue;  // the caller's loop recomputes any limit
            return WaitResult::Gone;
        }
        if (n == 0) return WaitResult::TimedOut;
        if (fds[0].revents != 0) return WaitResult::Woken;
        // Input first: bytes that arrived before a hang-up are still delivered, and the next read
        // reports the hang-up itself.
        if (fds[1].revents & POLLIN) return WaitResult::Readable;
        return WaitResult::Gone;  // POLLHUP, POLLERR or POLLNVAL without input
    }
}

ISerialDevice::ReadResult PosixSerialDevice::Read(uint8_t* buffer, size_t capacity, size_t* got) {
    *got = 0;
    if (m_Fd < 0) return ReadResult::Gone;
    for (;;) {
        const ssize_t n = ::read(m_Fd, buffer, capacity);
        if (n > 0) {
            *got = static_cast<size_t>(n);
            return ReadResult::Data;
        }
        // Raw mode waits for at least one byte, so 0 means end of file: the line hung up.
        if (n == 0) return ReadResult::Gone;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadResult::Nothing;
        return ReadResult::Gone;  // EIO after a hang-up or a removed adapter, and other failures
    }
}

bool PosixSerialDevice::WriteAll(const uint8_t* data, size_t count, SyncEvent* cancel,
                                 int32_t timeoutMs) {
    if (m_Fd < 0) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_Fd, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        // The driver's output buffer is full: wait until it takes more, or until cancelled.
        pollfd fds[2] = {{m_Fd, POLLOUT, 0},
                         {cancel ? static_cast<int>(cancel->Native()) : -1, POLLIN, 0}};
        int r;
        do {
            int wait = -1;
            if (timeoutMs >= 0) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
                wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
            }
            r = ::poll(fds, 2, wait);
        } while (r < 0 && errno == EINTR);
        if (r < 0) return false;
        if (r == 0) {
            JVO_LOG1(
                "PosixSerialDevice::WriteAll() %s took no more output for %d ms (%d of %d bytes "
                "written)",
                m_Path, timeoutMs, static_cast<int>(done), static_cast<int>(count));
            return false;
        }
        if (fds[1].revents != 0) return false;
        if ((fds[0].revents & POLLOUT) == 0) return false;  // hang-up or error
    }
    return true;
}

}  // namespace jvo
