// The main window's commands: each one that talks to the unit runs on the session's command
// thread; the window shows that it is busy and refuses a second one until the first has ended.
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QMenu>

#include "monitor/ConfigViews.h"
#include "monitor/Dumps.h"
#include "monitor/ReadingsTable.h"
#include "monitor/qt/AboutDlg.h"
#include "monitor/qt/ConfigViewDlg.h"
#include "monitor/qt/DumpSave.h"
#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/TrendWindow.h"

namespace jvo::monitor::qt {

bool MonitorDlg::Begin(int command, const QString& what) {
    if (m_BusyCommand != 0 || m_Exiting || m_CloseWhenIdle) {
        Refuse();
        return false;
    }
    m_BusyCommand = command;
    m_BusyText = what;
    setCursor(Qt::BusyCursor);
    UpdateStatusLine();
    return true;
}

void MonitorDlg::Refuse() {
    QApplication::beep();
    m_StatusLine->setText(m_BusyText + tr("    (wait for it to end)"));
}

void MonitorDlg::OnCommandDone(int command, int result) {
    if (command == m_BusyCommand) {
        m_BusyCommand = 0;
        m_BusyText.clear();
        unsetCursor();
        UpdateStatusLine();
    }
    if (command == CMD_CONNECT) {
        m_Ui.CloseConnectDialog();
        if (result == 1 && !m_CloseWhenIdle) OnConnected();
        emit ConnectFinished(result == 1 && !m_CloseWhenIdle);
    }
    if (command == CMD_SET_AUTO_ZERO && result == 0) m_AutoZero->setChecked(m_Session->AutoZero());
    emit CommandFinished(command, result);
    if (m_CloseWhenIdle && !Busy()) FinishExit();
}

void MonitorDlg::OnClearAlarms() {
    if (m_Connected && Begin(CMD_CLEAR_ALARMS, tr("Clearing the panel's alarms...")))
        m_Session->ClearAlarms(m_Panel);
}

void MonitorDlg::OnResetKwh() {
    if (!m_Connected) return;
    if (Busy()) {
        Refuse();
        return;
    }
    const int panel = m_Panel;
    ShowMessage(this, tr("Are you sure you want to reset all kWH metering for this panel?"),
                MsgButtons::YesNo, MsgIcon::None, [this, panel](MsgResult r) {
                    if (r == MsgResult::Yes && Begin(CMD_RESET_KWH, tr("Resetting kWH...")))
                        m_Session->ResetKwh(panel);
                });
}

void MonitorDlg::OnSetClock() {
    if (m_Connected && Begin(CMD_SET_CLOCK, tr("Setting the unit's clock...")))
        m_Session->SetClock();
}

void MonitorDlg::OnAutoZero(bool on) {
    if (m_Connected && Begin(CMD_SET_AUTO_ZERO, tr("Switching Auto-Zero..."))) {
        m_Session->SetAutoZero(on);
    } else {
        m_AutoZero->setChecked(m_Session->AutoZero());
    }
}

void MonitorDlg::OnEvents() {
    m_EventLog->OpenLog(m_Panel);
}

void MonitorDlg::OnDumpReadings() {
    SaveDump(this, DumpKind::Readings, [this] {
        return ReadingsDump(m_Session->Config(), m_Session->Readings().Snapshot());
    });
}

void MonitorDlg::OnDumpEventLog() {
    QWidget* parent = m_EventLog->isVisible() ? static_cast<QWidget*>(m_EventLog) : this;
    SaveDump(parent, DumpKind::EventLog,
             [this] { return EventLogDump(m_Session->Logs(), m_App.ServiceUser()); });
}

void MonitorDlg::OnDumpConfig() {
    SaveDump(this, DumpKind::Config, [this] { return MonitorConfigDump(m_Session->Config()); });
}

void MonitorDlg::OnExportTable() {
    SaveDump(this, DumpKind::ReadingsTable, [this] {
        const QString now =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return ReadingsTable(m_Session->Config(), m_Session->Readings().Snapshot(),
                             now.toStdString());
    });
}

void MonitorDlg::OnTrend(int row) {
    if (!m_Connected || m_Exiting) return;
    m_TrendDlg = ShowTrendWindow(m_TrendDlg, m_Trend, m_Session->Config(), m_Panel, row, this);
}

void MonitorDlg::OnBreakerMenu(int row, const QPoint& global) {
    if (!HaveTrendWindow()) return;  // the menu's only entry
    QMenu menu(this);
    QAction* trend = menu.addAction(tr("Trend..."));
    trend->setObjectName(QStringLiteral("trendRow"));
    trend->setEnabled(m_Connected);
    if (menu.exec(global) == trend) OnTrend(row);
}

void MonitorDlg::OnBreakerRow(int row) {
    if (!m_Connected || !BreakerRowOpens(m_Session->Config(), m_Panel, row)) return;
    auto* d = new BreakerConfigDlg(m_Session->Config(), m_Panel, row, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->open();
}

void MonitorDlg::OnSubfeedRow(int row) {
    if (!m_Connected || !SubfeedRowOpens(m_Session->Config(), m_Panel, row)) return;
    auto* d = new SubfeedConfigDlg(m_Session->Config(), m_Panel, row, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->open();
}

void MonitorDlg::OnAbout() {
    const UnitSetup& setup = m_Session->Setup();
    const bool known = m_Connected && setup.m_VersionKnown;
    auto* d = new CAboutDlg(MakeAboutView(known ? &setup.m_Version : nullptr), m_LogPath, this);
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->open();
}

}  // namespace jvo::monitor::qt
