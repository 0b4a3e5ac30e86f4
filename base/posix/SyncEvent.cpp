// SyncEvent on Linux: an eventfd, readable while set.
#include "base/SyncEvent.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "base/posix/Poll.h"

namespace jvo {

namespace {
using Clock = std::chrono::steady_clock;

// Rounded up, so that a wait never ends before its time-out has fully passed.
int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

int FdOf(const SyncEvent& e) {
    return static_cast<int>(e.Native());
}
}  // namespace

int PollOne(int fd, short events, int32_t timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int wait = timeoutMs < 0 ? -1 : timeoutMs;
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
    const int fd = ::eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) std::abort();  // out of descriptors: nothing sensible can go on
    m_Native = fd;
}

SyncEvent::~SyncEvent() {
    ::close(FdOf(*this));
}

void SyncEvent::Set() {
    uint64_t one = 1;
    // The counter only needs to be non-zero; EAGAIN (counter at its maximum) still means set.
    while (::write(FdOf(*this), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void SyncEvent::Clear() {
    uint64_t value;
    while (::read(FdOf(*this), &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool SyncEvent::IsSet() const {
    return PollOne(FdOf(*this), POLLIN, 0) > 0;
}

bool SyncEvent::WaitWithoutTaking(int32_t timeoutMs) const {
    return PollOne(FdOf(*this), POLLIN, timeoutMs) > 0;
}

bool SyncEvent::Consume() const {
    uint64_t value;
    for (;;) {
        if (::read(FdOf(*this), &value, sizeof value) == sizeof value) return true;
        if (errno != EINTR) return false;
    }
}

bool SyncEvent::Wait(int32_t timeoutMs) {
    return WaitAny({this}, timeoutMs) == 0;
}

int WaitAny(std::initializer_list<const SyncEvent*> events, int32_t timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    pollfd fds[8];
    const size_t count = events.size() < 8 ? events.size() : 8;
    for (;;) {
        size_t i = 0;
        for (const SyncEvent* e : events) {
            if (i == count) break;
            fds[i++] = pollfd{e ? FdOf(*e) : -1, POLLIN, 0};
        }
        const int wait = timeoutMs < 0 ? -1 : RemainingMs(deadline);
        const int n = ::poll(fds, count, wait);
        if (n < 0 && errno != EINTR) return -1;
        if (n > 0) {
            i = 0;
            for (const SyncEvent* e : events) {
                if (i == count) break;
                if (e && (fds[i].revents & POLLIN) && (!e->IsAutoReset() || e->Consume()))
                    return static_cast<int>(i);
                ++i;
            }
            // Another waiter took an auto-reset signal first: wait on for the rest of the time.
        }
        if (timeoutMs >= 0 && RemainingMs(deadline) == 0) return -1;
    }
}

bool WaitPrecise(const SyncEvent* cancel, std::chrono::nanoseconds wait) {
    // A sleep ends up to the thread's timer slack (50 us by default) late: 1 ns instead.
    thread_local const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)slackSet;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count();
        if (ns <= 0) return cancel && cancel->IsSet();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fd{cancel ? FdOf(*cancel) : -1, POLLIN, 0};
        const int n = ::ppoll(&fd, 1, &ts, nullptr);
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return cancel && cancel->IsSet();
    }
}

}  // namespace jvo
