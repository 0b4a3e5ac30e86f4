// Requests to end on Windows: Ctrl+C, Ctrl+Break or closing the console that the program was
// started from, and logging off or shutting down. The console's handler runs on a thread of its
// own; it only posts the request to the UI thread. (A program started from the Start menu has no
// console: there the window's own close, which Windows sends at log-off too, is the request.)
#include <windows.h>

#include <QMetaObject>
#include <QPointer>

#include "qtcommon/EndRequests.h"

namespace jvo::qt {

namespace {

QPointer<QObject> g_Context;
std::function<void()> g_OnRequest;
volatile LONG g_Requested = 0;

BOOL WINAPI OnControl(DWORD type) {
    (void)type;
    // The second request ends the program the default way (the clean end may hang).
    if (InterlockedExchange(&g_Requested, 1) != 0) return FALSE;
    QObject* context = g_Context.data();
    if (!context) return FALSE;
    QMetaObject::invokeMethod(
        context, [] { g_OnRequest(); }, Qt::QueuedConnection);
    return TRUE;
}

}  // namespace

bool WatchEndRequests(QObject* context, std::function<void()> onRequest) {
    g_Context = context;
    g_OnRequest = std::move(onRequest);
    InterlockedExchange(&g_Requested, 0);
    SetConsoleCtrlHandler(OnControl, FALSE);  // a later call takes the earlier one's place
    return SetConsoleCtrlHandler(OnControl, TRUE) != 0;
}

}  // namespace jvo::qt
