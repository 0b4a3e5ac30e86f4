// Stop requests on Windows: the console's control events (Ctrl+C, Ctrl+Break, closing the
// console, logging off, shutting down) set an event that Wait() waits for.
#include "link/StopRequest.h"

#include <windows.h>

#include <string>

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

// The held requests' state.
volatile LONG g_Interrupted = 0;
const std::string* g_Notice = nullptr;

BOOL WINAPI OnHeldControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;  // the next handler
    if (InterlockedExchange(&g_Interrupted, 1) == 0 && g_Notice) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), g_Notice->data(),
                  static_cast<DWORD>(g_Notice->size()), &written, nullptr);
    }
    return TRUE;
}

}  // namespace

HeldStopRequests::HeldStopRequests(std::string notice) : m_Notice(std::move(notice)) {
    InterlockedExchange(&g_Interrupted, 0);
    g_Notice = &m_Notice;
    SetConsoleCtrlHandler(OnHeldControl, TRUE);  // called before the handlers added earlier
}

HeldStopRequests::~HeldStopRequests() {
    SetConsoleCtrlHandler(OnHeldControl, FALSE);
    g_Notice = nullptr;
}

bool HeldStopRequests::Arrived() const {
    return g_Interrupted != 0;
}

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
