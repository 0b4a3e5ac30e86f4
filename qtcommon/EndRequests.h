#pragma once
// A window program is asked from outside to end: Ctrl+C in its terminal (SIGINT), or SIGTERM from
// the session, a service manager or `kill`. It then ends the way its own Exit does once the user
// has confirmed, without asking: the link is closed, nothing is saved that the user did not ask
// for, and the exit status is 0.
//
// The platform's part is WatchEndRequests alone (POSIX signals here; a console control handler
// would take its place on Windows). The request reaches the program on its event loop, never in
// a signal handler.
#include <QObject>
#include <functional>

namespace jvo::qt {

// From now on a request to end calls `onRequest` on the thread of `context` (the UI thread),
// queued behind what that thread is doing. The first request is handled so; a second one ends
// the program at once the platform's default way, for a program whose clean end hangs. Call it
// once, on the UI thread, before any other thread is started; a later call takes the place of
// the earlier one. False when the watch could not be set up (the default handling stays).
bool WatchEndRequests(QObject* context, std::function<void()> onRequest);

}  // namespace jvo::qt
