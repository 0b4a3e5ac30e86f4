#include "base/SyncEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace jvo {

namespace {
using Clock = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its time-out has fully passed.
int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}
}  // namespace

int PollOne(int fd, short events, int32_t timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int wait = timeoutMs;
    for (;;) {
        pollfd p{fd, events, 0};
        int n = ::poll(&p, 1, wait);
        if (n > 0) return p.revents;
        if (n == 0) return 0;
        if (errno != EINTR) return -1;
        if (timeoutMs >= 0) wait = RemainingMs(deadline);
    }
}

SyncEvent::SyncEvent(Reset mode, bool initiallySet) : m_Mode(mode) {
    m_Fd = ::eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_Fd < 0) std::abort();  // out of descriptors: nothing sensible can go on
}

SyncEvent::~SyncEvent() {
    if (m_Fd >= 0) ::close(m_Fd);
}

void SyncEvent::Set() {
    uint64_t one = 1;
    // The counter only needs to be non-zero; EAGAIN (counter at its maximum) still means set.
    while (::write(m_Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void SyncEvent::Clear() {
    uint64_t value;
    while (::read(m_Fd, &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool SyncEvent::IsSet() const {
    return PollOne(m_Fd, POLLIN, 0) > 0;
}

bool SyncEvent::Consume() {
    uint64_t value;
    for (;;) {
        if (::read(m_Fd, &value, sizeof value) == sizeof value) return true;
        if (errno != EINTR) return false;
    }
}

bool SyncEvent::Wait(int32_t timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = timeoutMs < 0 ? -1 : RemainingMs(deadline);
        int r = PollOne(m_Fd, POLLIN, wait);
        if (r <= 0) return false;
        if (m_Mode == Reset::Manual || Consume()) return true;
        // Another waiter took an auto-reset signal first: wait on for the rest of the time.
        if (timeoutMs >= 0 && RemainingMs(deadline) == 0) return false;
    }
}

}  // namespace jvo
