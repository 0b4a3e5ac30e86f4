// Why a serial device cannot be opened, on Linux.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "base/CmdLine.h"
#include "link/OpenProblems.h"

namespace jvo::cmdline {

std::string SerialDeviceProblem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT) return "the device does not exist";
        if (err == EACCES) return "permission denied: add yourself to the dialout group";
        if (err == EBUSY) return "it is in use by another program";
        return ErrorText(err);
    }
    std::string why;
    termios tio{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        why = "it is in use by another program";
    else if (::tcgetattr(fd, &tio) != 0)
        why = "it is not a serial device";
    else
        why = "its line settings were refused (see the messages above)";
    ::close(fd);
    return why;
}

}  // namespace jvo::cmdline
