#include "bench/BareClient.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

#include "link/Commands.h"
#include "link/Crc16.h"
#include "link/FrameReceiver.h"

namespace jvo::bench {

namespace {

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A CT reading request for CT 1 with the given sequence byte, flagged and stuffed.
std::vector<uint8_t> CtRequest(uint8_t sequence) {
    std::vector<uint8_t> body = {0, kHostAddress, sequence, kProtocolByte, CMD_GET_CT_READING, 1};
    const uint16_t fcs = Crc16Compute(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(fcs & 0xFF));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    std::vector<uint8_t> wire(2 * body.size() + 2);
    wire.resize(BuildWireFrame(body.data(), body.size(), wire.data(), wire.size()));
    return wire;
}

// Reads until a frame's closing flag; false when nothing comes for a second or the device fails.
bool ReadReply(int fd) {
    uint8_t buffer[512];
    bool open = false;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 1000);
        if (ready == 0) return false;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return false;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != 0x7E) {
                open = true;
            } else if (open) {
                return true;
            }
        }
    }
}

}  // namespace

BareClientLoad MeasureBareClient(const std::string& device, double seconds) {
    BareClientLoad load;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return load;
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::cfsetspeed(&t, B115200);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    std::vector<std::vector<uint8_t>> requests;
    for (int sequence = 0; sequence < 256; ++sequence)
        requests.push_back(CtRequest(static_cast<uint8_t>(sequence)));
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    const auto start = Clock::now();
    const double cpu0 = ThreadCpuSeconds();
    long exchanges = 0;
    bool answered = true;
    while (answered && Clock::now() < end) {
        const std::vector<uint8_t>& request = requests[static_cast<size_t>(exchanges % 256)];
        answered =
            ::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size()) &&
            ReadReply(fd);
        if (answered) ++exchanges;
    }
    const double cpu = ThreadCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    if (!answered || exchanges == 0 || wall <= 0) return load;
    load.cpuPercent = cpu / wall * 100;
    load.exchangesPerSecond = static_cast<double>(exchanges) / wall;
    return load;
}

}  // namespace jvo::bench
