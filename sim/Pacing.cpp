#include "sim/Pacing.h"

#include <poll.h>
#include <sys/prctl.h>

#include <cerrno>

namespace jvo::sim {

bool PaceUntil(PaceClock::time_point deadline, const SyncEvent* cancel) {
    thread_local const bool slackSet = ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
    (void)slackSet;
    for (;;) {
        const auto left = deadline - kPaceSpin - PaceClock::now();
        if (left <= PaceClock::duration::zero()) break;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fd{cancel ? cancel->Fd() : -1, POLLIN, 0};
        const int n = ::ppoll(&fd, 1, &ts, nullptr);
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) break;
    }
    while (PaceClock::now() < deadline) {
    }
    return cancel && cancel->IsSet();
}

}  // namespace jvo::sim
