// Stop requests on Windows: the console's control events (Ctrl+C, Ctrl+Break, closing the
// console, logging off, shutting down) set an event that Wait() waits for.
#include "link/StopRequest.h"

#include <windows.h>

namespace jvo {

namespace {

HANDLE g_Stop = nullptr;

BOOL WINAPI OnControl(DWORD type) {
    (void)type;
    if (g_Stop) SetEvent(g_Stop);
    // Closing the console or logging off ends the process once this returns: the main thread
    // gets a moment to stop the unit and remove what it made.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(2000);
    return TRUE;
}

}  // namespace

StopRequests::StopRequests() {
    if (!g_Stop) g_Stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnControl, TRUE);
}

StopRequests::~StopRequests() {
    SetConsoleCtrlHandler(OnControl, FALSE);
}

bool StopRequests::Wait(int32_t timeoutMs) {
    if (!g_Stop) return false;
    return WaitForSingleObject(g_Stop, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs)) ==
           WAIT_OBJECT_0;
}

void IgnoreBrokenPipes() {
    // Windows has no signal for a write to a closed pipe or socket: the write fails.
}

}  // namespace jvo
