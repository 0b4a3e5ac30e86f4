// Stop requests on POSIX: SIGINT and SIGTERM, blocked and taken with sigtimedwait.
#include "link/StopRequest.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <csignal>
#include <string>

namespace jvo {

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// The held requests' state; only what a signal handler may touch.
volatile sig_atomic_t g_Interrupted = 0;
const char* g_Notice = nullptr;
size_t g_NoticeLength = 0;
struct sigaction g_Previous[2];
constexpr int kHeldSignals[2] = {SIGINT, SIGTERM};

void OnHeldSignal(int) {
    if (g_Interrupted) return;
    g_Interrupted = 1;
    const int saved = errno;
    if (g_Notice) (void)!::write(STDERR_FILENO, g_Notice, g_NoticeLength);
    errno = saved;
}

}  // namespace

HeldStopRequests::HeldStopRequests(std::string notice) : m_Notice(std::move(notice)) {
    g_Interrupted = 0;
    g_Notice = m_Notice.c_str();
    g_NoticeLength = m_Notice.size();
    struct sigaction action {};
    action.sa_handler = OnHeldSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the questions and the link's calls go on undisturbed
    for (int i = 0; i < 2; ++i)
        ::sigaction(kHeldSignals[i], &action, &g_Previous[i]);
}

HeldStopRequests::~HeldStopRequests() {
    for (int i = 0; i < 2; ++i)
        ::sigaction(kHeldSignals[i], &g_Previous[i], nullptr);
    g_Notice = nullptr;
}

bool HeldStopRequests::Arrived() const {
    return g_Interrupted != 0;
}

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
