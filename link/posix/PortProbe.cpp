#include "link/posix/PortProbe.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace jvo {

namespace {

// Closes the descriptor on every way out.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_Fd(fd) {}
    ~ScopedFd() {
        if (m_Fd >= 0) ::close(m_Fd);
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int Get() const { return m_Fd; }

private:
    int m_Fd;
};

// The names a lock file may carry for a device: its base name (LCK..ttyUSB0) and, for devices in
// a subdirectory of /dev, the path below /dev with '_' for '/' (LCK..pts_3).
std::vector<std::string> LockNames(const std::string& path) {
    std::vector<std::string> names;
    const size_t slash = path.rfind('/');
    names.push_back("LCK.." + (slash == std::string::npos ? path : path.substr(slash + 1)));
    if (path.rfind("/dev/", 0) == 0) {
        std::string rel = path.substr(5);
        if (rel.find('/') != std::string::npos) {
            for (char& c : rel)
                if (c == '/') c = '_';
            names.push_back("LCK.." + rel);
        }
    }
    return names;
}

// The PID in a lock file: ASCII (the usual form) or a 4-byte binary number (the old one).
// 0 when there is none.
long LockPid(const std::string& text) {
    char* end = nullptr;
    const long pid = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() && pid > 0) return pid;
    if (text.size() == 4) {
        int32_t binary = 0;
        std::memcpy(&binary, text.data(), 4);
        return binary > 0 ? binary : 0;
    }
    return 0;
}

}  // namespace

bool HasUucpLock(const std::string& path, const std::vector<std::string>& lockDirs) {
    for (const std::string& dir : lockDirs) {
        for (const std::string& name : LockNames(path)) {
            std::ifstream in(dir + "/" + name, std::ios::binary);
            if (!in) continue;
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            const long pid = LockPid(text);
            if (pid == 0) return true;  // unreadable: somebody meant to hold the port
            // A lock of a process that no longer runs is stale.
            if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM) return true;
        }
    }
    return false;
}

ProbeResult ProbeSerialPort(const std::string& path, const std::vector<std::string>& lockDirs) {
    ScopedFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) return ProbeResult::CannotOpen;
    if (!::isatty(fd.Get())) return ProbeResult::NotTerminal;
    serial_struct ss{};
    if (::ioctl(fd.Get(), TIOCGSERIAL, &ss) == 0 && ss.type == PORT_UNKNOWN)
        return ProbeResult::Placeholder;
    // The advisory lock: taken for a moment and given back at once when free.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return ProbeResult::Held;
    } else {
        ::flock(fd.Get(), LOCK_UN);
    }
    // Exclusive mode; a user other than root does not get this far, the open is refused.
    int exclusive = 0;
    if (::ioctl(fd.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0) return ProbeResult::Held;
    if (HasUucpLock(path, lockDirs)) return ProbeResult::Held;
    return ProbeResult::Usable;
}

uint64_t EntryStamp(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return 0;
    const uint64_t time = static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                          static_cast<uint64_t>(st.st_mtim.tv_nsec);
    return (static_cast<uint64_t>(st.st_ino) * 0x9E3779B97F4A7C15ull) ^ time ^ 1u;
}

}  // namespace jvo
