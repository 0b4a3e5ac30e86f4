// SIGINT and SIGTERM through a self-pipe: the handler only writes the signal's number to a pipe,
// which a socket notifier watches on the UI thread.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <cerrno>

#include "qtcommon/EndRequests.h"

namespace jvo::qt {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

int g_PipeRead = -1;
int g_PipeWrite = -1;
QPointer<QSocketNotifier> g_Notifier;

void OnSignal(int signal) {
    const int saved = errno;
    // The second request ends the program the default way (the notifier may be stuck).
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (const int s : kSignals)
        ::sigaction(s, &dfl, nullptr);
    const unsigned char byte = static_cast<unsigned char>(signal);
    (void)!::write(g_PipeWrite, &byte, 1);
    errno = saved;
}

}  // namespace

bool WatchEndRequests(QObject* context, std::function<void()> onRequest) {
    if (g_PipeRead < 0) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        g_PipeRead = fds[0];
        g_PipeWrite = fds[1];
    }
    delete g_Notifier;
    g_Notifier = new QSocketNotifier(g_PipeRead, QSocketNotifier::Read, context);
    QObject::connect(g_Notifier, &QSocketNotifier::activated, context,
                     [onRequest = std::move(onRequest)] {
                         unsigned char bytes[16];
                         bool requested = false;
                         while (::read(g_PipeRead, bytes, sizeof bytes) > 0)
                             requested = true;
                         if (requested) onRequest();
                     });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int s : kSignals)
        sigaddset(&action.sa_mask, s);
    action.sa_flags = SA_RESTART;  // the program's threads do not see the signal in their calls
    bool ok = true;
    for (const int s : kSignals)
        ok = ::sigaction(s, &action, nullptr) == 0 && ok;
    return ok;
}

}  // namespace jvo::qt
