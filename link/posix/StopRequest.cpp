// Stop requests on POSIX: SIGINT and SIGTERM, blocked and taken with sigtimedwait.
#include "link/StopRequest.h"

#include <pthread.h>
#include <signal.h>

#include <csignal>

namespace jvo {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopRequests::StopRequests() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopRequests::~StopRequests() = default;

bool StopRequests::Wait(int32_t timeoutMs) {
    const sigset_t set = StopSignals();
    if (timeoutMs < 0) {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        return true;
    }
    const timespec wait{timeoutMs / 1000, static_cast<long>(timeoutMs % 1000) * 1000000L};
    const int signal = sigtimedwait(&set, nullptr, &wait);
    return signal == SIGINT || signal == SIGTERM;
}

void IgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace jvo
