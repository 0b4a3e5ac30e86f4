#include "monitor/MonitorSession.h"

#include <ctime>

#include "link/AppLog.h"
#include "link/Commands.h"

namespace jvo::monitor {

MonitorSession::MonitorSession(MonitorApp& app, MonitorUi& ui, NotifyQueue& notify,
                               SessionOptions options)
    : m_App(app), m_Ui(ui), m_Notify(notify), m_Options(std::move(options)) {
    m_Worker = std::make_unique<PollWorker>(
        app.Mailbox(), m_Link, m_Setup.m_Config, m_Readings, app.Logs(), notify,
        m_Options.clock ? *m_Options.clock : SystemClock::Instance(), m_Options.timings);
    m_Worker->Launch();
}

MonitorSession::~MonitorSession() {
    Exit();
}

void MonitorSession::Connect() {
    m_Commands.Run([this] {
        ConnectDlgLogic dialog(m_Ui, m_Link, m_Options.probe, m_Options.routes);
        const bool ok = RunConnectSequence(m_Ui, m_Link, dialog, m_App.ServiceUser(), m_Setup,
                                           m_Options.sleeper);
        if (ok) {
            m_AutoZero = m_Setup.m_AutoZero;
            m_Connected = true;
            m_App.Mailbox().Post(PollCmdStart, 0);
        }
        Done(CMD_CONNECT, ok);
    });
}

void MonitorSession::ResetKwh(int panel) {
    m_Commands.Run([this, panel] {
        UnitClient client(&m_Link, 0);
        // The unit takes its time over this one; only this client waits the longer time-out, so
        // the worker's requests keep theirs.
        client.SetReplyTimeoutMs(kResetKwhTimeoutMs);
        const bool ok = client.ResetEnergy(static_cast<uint8_t>(panel));
        if (!ok)
            m_Ui.Message("Failed to reset metering on this panel", MsgButtons::Ok, MsgIcon::None);
        Done(CMD_RESET_KWH, ok);
    });
}

void MonitorSession::ClearAlarms(int panel) {
    m_Commands.Run([this, panel] {
        UnitClient client(&m_Link, 0);
        Done(CMD_CLEAR_ALARMS, client.ClearPanelAlarms(static_cast<uint8_t>(panel)));
    });
}

void MonitorSession::SetAutoZero(bool on) {
    m_Commands.Run([this, on] {
        UnitClient client(&m_Link, 0);
        bool ok = false;
        for (int i = 0; i < kAutoZeroAttempts && !ok; ++i)
            ok = client.SetAutoZero(on);
        if (ok) {
            m_AutoZero = on;
        } else {
            m_Ui.Message("Could not update AutoZero control", MsgButtons::Ok, MsgIcon::Error);
        }
        Done(CMD_SET_AUTO_ZERO, ok);
    });
}

void MonitorSession::SetClock() {
    m_Commands.Run([this] {
        const uint32_t now = m_Options.wallSeconds ? m_Options.wallSeconds()
                                                   : static_cast<uint32_t>(std::time(nullptr));
        UnitClient client(&m_Link, 0);
        Done(CMD_SET_CLOCK, client.SetClock(now));
    });
}

void MonitorSession::ClearEventLog(int log) {
    m_Commands.Run([this, log] {
        UnitClient client(&m_Link, 0);
        bool ok = false;
        for (int i = 0; i < kClearLogAttempts && !ok; ++i)
            ok = client.ClearEventLog(static_cast<uint8_t>(log));
        if (!ok)
            JVO_LOG1("MonitorSession::ClearEventLog() Log %d not cleared after %d tries", log,
                     kClearLogAttempts);
        Done(CMD_CLEAR_EVENT_LOG, ok);
    });
}

void MonitorSession::Exit() {
    if (m_Exited.exchange(true)) return;
    // The link is closed first: whatever the worker or a command waits for on it (a reply, a
    // write, a reconnect) is broken off at once, so the command ends and the worker reaches its
    // next poll point without waiting out a time-out.
    m_Link.Disconnect();
    m_Commands.Drain();
    m_Worker->Stop();
}

}  // namespace jvo::monitor
