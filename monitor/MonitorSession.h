#pragma once
// MonitorSession: the state and the unit-facing work of the monitor's main window, free of any
// window system. It owns the link, the configuration read at connect, the reading store, the poll
// worker and the command thread. A window:
// - implements MonitorUi (messages, the connect dialog, the title) and gives a NotifyQueue whose
//   wake-up makes it call Take() on its own thread;
// - calls Connect() once at start-up; WM_APP_COMMAND_DONE with CMD_CONNECT says how it ended
//   (1 connected: read Setup() and show panel A; 0 cancelled: end the program);
// - calls the commands after asking its questions; each ends with WM_APP_COMMAND_DONE;
// - calls Exit() when it closes (after "Are you sure you want to exit?" while connected).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/UnitLink.h"
#include "monitor/CommandThread.h"
#include "monitor/ConnectDlgLogic.h"
#include "monitor/ConnectSequence.h"
#include "monitor/MonitorApp.h"
#include "monitor/MonitorUi.h"
#include "monitor/Notify.h"
#include "monitor/PollWorker.h"
#include "monitor/ReadingsStore.h"

namespace jvo::monitor {

// param1 of WM_APP_COMMAND_DONE.
enum CommandId : int {
    CMD_CONNECT = 1,          // result 1 connected, 0 cancelled
    CMD_RESET_KWH = 2,        // result 1 done, 0 failed ("Failed to reset metering on this panel")
    CMD_CLEAR_ALARMS = 3,     // result 1 or 0, not reported to the user
    CMD_SET_AUTO_ZERO = 4,    // result 1 or 0; on 0 the box goes back to AutoZero()
    CMD_SET_CLOCK = 5,        // result 1 or 0, not reported to the user
    CMD_CLEAR_EVENT_LOG = 6,  // result 1 acknowledged, 0 not after 10 tries (logged)
};

constexpr int kAutoZeroAttempts = 3;
constexpr int kClearLogAttempts = 10;
constexpr int32_t kResetKwhTimeoutMs = 3000;

struct SessionOptions {
    const IClock* clock = nullptr;  // the worker's clock; null for the system clock
    PollTimings timings;
    ConnectDlgLogic::ProbeFn probe;         // empty: the port directory's probe
    RouteStore* routes = nullptr;           // the connect dialog's recent routes; null: none
    std::function<void(int32_t)> sleeper;   // the schema check's pauses; empty: real ones
    std::function<uint32_t()> wallSeconds;  // what "Set" sends; empty: the computer's time
};

class MonitorSession {
public:
    // Launches the poll worker, which waits for PollCmdStart.
    MonitorSession(MonitorApp& app, MonitorUi& ui, NotifyQueue& notify,
                   SessionOptions options = {});
    // Exit() if it was not called.
    ~MonitorSession();
    MonitorSession(const MonitorSession&) = delete;
    MonitorSession& operator=(const MonitorSession&) = delete;

    // The connect sequence on the command thread; at the end the worker is started (connected)
    // or the link is closed (cancelled).
    void Connect();
    // Commands, each on the command thread with a UnitClient of its own.
    void ResetKwh(int panel);
    void ClearAlarms(int panel);
    void SetAutoZero(bool on);
    void SetClock();
    void ClearEventLog(int log);
    // True while a command runs or waits (a window may show it is busy).
    bool Busy() const { return m_Commands.Busy(); }
    // Waits for the command thread (tests).
    void DrainCommands() { m_Commands.Drain(); }

    // Closes the link (breaking off any transaction or reconnect under way), waits for the
    // command thread and stops the worker through the mailbox (it answers at its next poll
    // point). Takes well under a second. Safe to call twice. Not while the connect dialog is
    // open: the command thread waits for the dialog there.
    void Exit();

    // Valid after WM_APP_COMMAND_DONE for CMD_CONNECT with result 1; read-only afterwards.
    bool Connected() const { return m_Connected.load(); }
    const UnitSetup& Setup() const { return m_Setup; }
    const UnitConfig& Config() const { return m_Setup.m_Config; }
    // The auto-zero state last confirmed by the unit.
    bool AutoZero() const { return m_AutoZero.load(); }

    ReadingsStore& Readings() { return m_Readings; }
    EventLogStores& Logs() { return m_App.Logs(); }
    UnitLink& Link() { return m_Link; }
    PollWorker& Worker() { return *m_Worker; }
    bool ServiceUser() const { return m_App.ServiceUser(); }

private:
    void Done(CommandId command, bool ok) { m_Notify.Post(WM_APP_COMMAND_DONE, command, ok); }

    MonitorApp& m_App;
    MonitorUi& m_Ui;
    NotifyQueue& m_Notify;
    SessionOptions m_Options;
    UnitLink m_Link;
    ReadingsStore m_Readings;
    UnitSetup m_Setup;
    std::atomic<bool> m_Connected{false};
    std::atomic<bool> m_AutoZero{false};
    std::atomic<bool> m_Exited{false};
    std::unique_ptr<PollWorker> m_Worker;
    CommandThread m_Commands;  // last: its jobs use everything above
};

}  // namespace jvo::monitor
