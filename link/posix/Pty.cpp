#include "link/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "base/posix/Poll.h"

namespace jvo {

namespace {

bool MakeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

bool Pty::Supported() {
    return true;
}

Pty::~Pty() {
    Close();
}

bool Pty::Open() {
    Close();
    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return false;
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    // The line settings belong to the slave; set them through both ends to be sure.
    if (slave < 0 || !MakeRaw(slave) || !MakeRaw(master)) {
        if (slave >= 0) ::close(slave);
        ::close(master);
        return false;
    }
    const int flags = ::fcntl(master, F_GETFL);
    ::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    m_Master = master;
    m_SlaveKeeper = slave;
    m_SlavePath = name;
    return true;
}

void Pty::CloseMaster() {
    if (m_Master >= 0) ::close(m_Master);
    m_Master = -1;
}

void Pty::Close() {
    CloseMaster();
    if (m_SlaveKeeper >= 0) ::close(m_SlaveKeeper);
    m_SlaveKeeper = -1;
    m_SlavePath.clear();
}

bool Pty::ClearAbandonedExclusive() const {
    if (m_SlaveKeeper < 0) return false;
    int exclusive = 0;
    if (::ioctl(m_SlaveKeeper, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return false;
    // Taken only for a moment, and given back before the mode is cleared: a program that opens
    // the port right after finds the lock free.
    if (::flock(m_SlaveKeeper, LOCK_EX | LOCK_NB) != 0) return false;  // its holder is there
    ::flock(m_SlaveKeeper, LOCK_UN);
    return ::ioctl(m_SlaveKeeper, TIOCNXCL) == 0;
}

Pty::WaitResult Pty::WaitInput(const SyncEvent* wake, int32_t timeoutMs) const {
    if (m_Master < 0) return WaitResult::Gone;
    pollfd fds[2] = {{m_Master, POLLIN, 0},
                     {wake ? static_cast<int>(wake->Native()) : -1, POLLIN, 0}};
    for (;;) {
        const int n = ::poll(fds, 2, timeoutMs < 0 ? -1 : timeoutMs);
        if (n < 0) {
            if (errno == EINTR) continue;  // the caller's loop recomputes any limit
            return WaitResult::Gone;
        }
        if (n == 0) return WaitResult::TimedOut;
        if (fds[1].revents) return WaitResult::Woken;
        if (fds[0].revents & POLLIN) return WaitResult::Readable;
        if (fds[0].revents & (POLLERR | POLLNVAL)) return WaitResult::Gone;
        return WaitResult::HungUp;
    }
}

int64_t Pty::Read(uint8_t* buffer, size_t capacity, int32_t timeoutMs) const {
    if (m_Master < 0) return -1;
    for (;;) {
        const ssize_t n = ::read(m_Master, buffer, capacity);
        if (n > 0) return n;
        if (n == 0) return -1;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        const int r = PollOne(m_Master, POLLIN, timeoutMs < 0 ? kWaitForever : timeoutMs);
        if (r == 0) return 0;
        if (r < 0 || (r & POLLIN) == 0) return -1;
    }
}

bool Pty::Write(const uint8_t* data, size_t count) const {
    if (m_Master < 0) return false;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_Master, data + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int r = PollOne(m_Master, POLLOUT, kWaitForever);
            if (r < 0 || (r & POLLOUT) == 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace jvo
