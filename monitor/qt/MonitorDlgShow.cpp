// The main window's drawing: notifications, the panel and view switches, the 200 ms icon timer
// and the status line. Every text, colour and icon comes from the core's display model.
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/ListsPane.h"
#include "monitor/qt/MainArea.h"
#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/ReadingsList.h"

namespace jvo::monitor::qt {

namespace {

constexpr int kDisplayTimerMs = 200;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

void MonitorDlg::TakeNotes() {
    bool main = false;
    bool trend[kPanelCount] = {false, false};
    std::vector<int> breakers, subfeeds;
    for (const Notification& n : m_Notify.Take()) {
        switch (n.m_Msg) {
            case WM_APP_PANEL_READINGS:
                main = main || n.m_Param1 == m_Panel;
                if (n.m_Param1 >= 0 && n.m_Param1 < kPanelCount) trend[n.m_Param1] = true;
                break;
            case WM_APP_BREAKER_READING:
                if (n.m_Param1 == m_Panel) breakers.push_back(n.m_Param2);
                break;
            case WM_APP_SUBFEED_READING:
                if (n.m_Param1 == m_Panel) subfeeds.push_back(n.m_Param2);
                break;
            case WM_APP_EVENTLOG_CHANGED:
                m_EventLog->OnLogChanged(n.m_Param1);
                break;
            case WM_APP_CLOCK_TEXT:
                m_Area->SetClock(Q(n.m_Text));
                break;
            case WM_APP_LINK_TROUBLE:
                (n.m_Param1 == TROUBLE_TRANSPORT_LOST ? m_Lost : m_Silent) = n.m_Param2 != 0;
                UpdateStatusLine();
                break;
            case WM_APP_COMMAND_DONE:
                OnCommandDone(n.m_Param1, n.m_Param2);
                break;
            default:
                break;
        }
    }
    if (m_Connected && (main || trend[0] || trend[1] || !breakers.empty() || !subfeeds.empty())) {
        const ReadingsSnapshot s = m_Session->Readings().Snapshot();
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        for (int p = 0; p < kPanelCount; ++p)
            if (trend[p]) m_Trend.OnPanelReadings(p, now, m_Session->Config(), s);
        if (main) RefreshMain(s);
        for (int row : breakers)
            m_Lists->RefreshBreaker(m_Session->Config(), s, m_Panel, row, m_Mode);
        for (int row : subfeeds)
            m_Lists->RefreshSubfeed(m_Session->Config(), s, m_Panel, row, m_Mode);
    }
    emit NotesTaken();
}

void MonitorDlg::OnConnected() {
    const UnitSetup& setup = m_Session->Setup();
    m_Connected = true;
    m_Area->SetUnit(Q(setup.UnitText()));
    m_Area->SwitchButton()->setEnabled(true);
    m_Area->SetClockButton()->setEnabled(setup.m_VersionKnown);
    if (m_App.ServiceUser() && setup.m_AutoZeroKnown) {
        m_AutoZero->setChecked(setup.m_AutoZero);
        m_AutoZero->setEnabled(true);
    }
    m_IconView = true;  // toggled to the table view below
    OnToggleView();
    ApplyListShown();
    ShowPanel(0);
    m_Timer.start(kDisplayTimerMs);
    m_TimerTakesNotes = true;  // one wake-up a tick for the notes and the icons
}

void MonitorDlg::ShowPanel(int panel) {
    m_Panel = panel;
    const ReadingsSnapshot s = m_Session->Readings().Snapshot();
    RefreshMain(s);
    m_Lists->Fill(m_Session->Config(), s, panel, m_Mode);
}

void MonitorDlg::RefreshMain(const ReadingsSnapshot& s) {
    m_Area->Show(MakeMainBreakerView(m_Session->Config(), s, m_Panel, m_Mode));
}

void MonitorDlg::RefreshAll() {
    if (!m_Connected) return;
    const ReadingsSnapshot s = m_Session->Readings().Snapshot();
    RefreshMain(s);
    m_Lists->RefreshAll(m_Session->Config(), s, m_Panel, m_Mode);
}

void MonitorDlg::OnTimer() {
    if (m_Notify.Waiting() > 0) TakeNotes();
    // The breaker icons again from the stored readings (an alarm mode change shows here).
    if (!m_Connected) return;
    m_Lists->RefreshBreakerIcons(
        m_Session->Readings().Panel(m_Panel),
        m_Session->Config().m_Panels[static_cast<size_t>(m_Panel)].UsedBreakers(), m_Mode);
    ShowFreshness();
    ShowLineRates();
}

void MonitorDlg::ShowFreshness() {
    const FreshnessView v = m_Session->Worker().Freshness().View();
    if (v.m_Stale != m_Stale) {
        m_Stale = v.m_Stale;
        m_Area->SetStale(m_Stale);
        m_Lists->SetStale(m_Stale);
        if (m_Stale) m_Trend.MarkGap();  // the trend's lines break across the stale time
    }
    const QString age = m_Stale ? Q(DataAgeText(v)) : QString();
    if (age == m_AgeText) return;
    m_AgeText = age;
    UpdateStatusLine();
}

void MonitorDlg::OnSwitchPanel() {
    if (m_Connected) ShowPanel(1 - m_Panel);
}

void MonitorDlg::OnShowBreakers() {
    if (m_ShowSubfeeds) OnToggleList();
}

void MonitorDlg::OnShowSubfeeds() {
    if (!m_ShowSubfeeds) OnToggleList();
}

void MonitorDlg::OnToggleList() {
    m_ShowSubfeeds = !m_ShowSubfeeds;
    ApplyListShown();
    OnTimer();
}

void MonitorDlg::ApplyListShown() {
    m_Lists->ShowSubfeeds(m_ShowSubfeeds, m_Connected || m_ShowSubfeeds);
    m_ListToggle->setText(m_ShowSubfeeds ? tr("Brea&kers") : tr("&Subfeeds"));
}

void MonitorDlg::OnToggleView() {
    if (!m_Connected && !m_IconView) return;  // "View" does nothing before connect
    m_IconView = !m_IconView;
    m_Lists->SetIconView(m_IconView);
    m_ViewToggle->setText(m_IconView ? tr("&Table") : tr("&Icons"));
    OnTimer();
}

void MonitorDlg::OnAlarmMode(AlarmMode mode) {
    m_Mode = mode;
    const char* names[] = {"alarmRaw", "alarmFiltered", "alarmLatched"};
    Action(names[static_cast<int>(mode)])->setChecked(true);
    RefreshAll();
}

void MonitorDlg::UpdateStatusLine() {
    QStringList parts;
    if (m_Lost) parts << QString::fromUtf8("Connection lost \u2014 reconnecting");
    if (m_Silent) parts << tr("Unit not answering");
    if (!m_AgeText.isEmpty()) {
        // Beside the trouble that explains it; alone for a unit that answers but gives nothing.
        if (parts.isEmpty()) parts << tr("No fresh readings");
        parts.last() += QStringLiteral("; ") + m_AgeText;
    }
    if (!m_BusyText.isEmpty()) parts << m_BusyText;
    if (m_CloseWhenIdle) parts << tr("Closing when the command has ended");
    m_StatusLine->setText(parts.join(QStringLiteral("    ")));
    QPalette p;
    if (m_Lost || m_Silent || m_Stale) p.setColor(QPalette::WindowText, QColor(200, 30, 30));
    m_StatusLine->setPalette(p);
}

}  // namespace jvo::monitor::qt
