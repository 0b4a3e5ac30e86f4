#pragma once
// MonitorDlg: the monitor's main window ("JVO/TKA Monitor"). It owns the core's MonitorSession
// and draws what the core's display models give for the current panel: the main breaker area,
// the breaker and subfeed lists (table or icon view), the clock, and a status line for the
// worker's trouble states and for a command that is still running. It forwards the user's
// actions to the session; every wait on the unit happens on the session's command thread, one
// command at a time (a second one is refused while the first runs).
//
// Threads: the poll worker and the command thread post to the NotifyQueue; its wake-up queues a
// call of TakeNotes() on this window's thread (at most every 200 ms), which takes the whole batch
// and repaints only the rows and fields the batch names (and only the cells whose texts changed).
#include <QMainWindow>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>

#include "monitor/DisplayModel.h"
#include "monitor/MonitorApp.h"
#include "monitor/MonitorSession.h"
#include "monitor/Notify.h"
#include "monitor/RecordControl.h"
#include "monitor/TrafficLog.h"
#include "monitor/TrendBuffer.h"
#include "monitor/qt/QtMonitorUi.h"
#include "qtcommon/ProgramSettings.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace jvo::monitor::qt {

class EventLogDlg;
class ListsPane;
class MainArea;
class ReadingsList;
class TrafficDlg;
class TrendDlg;

class MonitorDlg final : public QMainWindow {
    Q_OBJECT
public:
    MonitorDlg(MonitorApp& app, std::string logPath, SessionOptions options = {},
               QWidget* parent = nullptr);
    ~MonitorDlg() override;

    // Runs the connect sequence (the connect dialog first, or the preset choice).
    void Start();
    // The first connect dialog is answered from the command line: COM port `comPort` (> 0), or
    // the device or proxy server in `choice`.
    void PresetConnect(ConnectChoice choice, int comPort = 0) {
        m_Ui.PresetConnect(std::move(choice), comPort);
    }
    // Ends the window without the exit question (scripts).
    void ExitNow() { FinishExit(); }
    // Ends the window as the exit question's Yes does, without asking (a request from outside:
    // Ctrl+C, SIGTERM): at once, or once the command that runs has ended; its dialogs, and every
    // other dialog of the window, are cancelled. Nothing is saved.
    void EndOnRequest();

    MonitorSession& Session() { return *m_Session; }
    QtMonitorUi& Ui() { return m_Ui; }
    MainArea* Area() const { return m_Area; }
    ReadingsList* Breakers() const;
    ReadingsList* Subfeeds() const;
    EventLogDlg* EventLog() const { return m_EventLog; }
    // The trend window, once opened; the hour of currents it draws.
    TrendDlg* Trend() const { return m_TrendDlg; }
    const TrendBuffer& Trends() const { return m_Trend; }
    QLabel* StatusLine() const { return m_StatusLine; }
    // The readings are shown greyed, as too old to be live.
    bool Stale() const { return m_Stale; }
    QGroupBox* ListGroup() const;
    QPushButton* ListToggle() const { return m_ListToggle; }
    QPushButton* ViewToggle() const { return m_ViewToggle; }
    QCheckBox* AutoZeroBox() const { return m_AutoZero; }
    int Panel() const { return m_Panel; }
    AlarmMode Mode() const { return m_Mode; }
    bool SubfeedsShown() const { return m_ShowSubfeeds; }
    bool Busy() const { return m_BusyCommand != 0; }
    // The menu item with this object name ("alarmRaw", "clearAlarms", "dumpReadings", ...).
    QAction* Action(const char* name) const;

    // The user's actions, one slot each (also reached from the menus and buttons).
    void OnSwitchPanel();
    void OnShowBreakers();
    void OnShowSubfeeds();
    void OnToggleList();
    void OnToggleView();
    void OnAlarmMode(AlarmMode mode);
    void OnClearAlarms();
    void OnResetKwh();
    void OnSetClock();
    void OnAutoZero(bool on);
    void OnEvents();
    void OnDumpReadings();
    void OnDumpEventLog();
    void OnDumpConfig();
    void OnExportTable();
    // File > Record...: the record dialog, or while recording, Stop Recording.
    void OnRecord();
    void OnRecordTick();
    const RecordControl& Record() const { return m_Record; }
    // View > Line...: the traffic window (made at its first opening).
    void OnLine();
    TrafficDlg* Traffic() const { return m_TrafficDlg; }
    QLabel* LineRatesLabel() const { return m_LineRates; }
    QLabel* RecordMark() const { return m_RecordMark; }
    void OnBreakerRow(int row);
    void OnSubfeedRow(int row);
    void OnAbout();
    // Opens (or raises) the trend window on breaker `row` of the current panel.
    void OnTrend(int row);
    // A breaker row's context menu ("Trend...").
    void OnBreakerMenu(int row, const QPoint& global);

signals:
    void ConnectFinished(bool connected);
    void CommandFinished(int command, int result);
    void NotesTaken();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* MakeBottomRow(QWidget* parent);
    void MakeMenus();
    void FitToScreen();

    // MonitorDlgShow.cpp: notifications and drawing.
    void TakeNotes();
    void OnCommandDone(int command, int result);
    void OnConnected();
    void ShowPanel(int panel);
    void RefreshMain(const ReadingsSnapshot& s);
    void RefreshAll();
    void OnTimer();
    void ApplyListShown();
    void UpdateStatusLine();
    // Greys or restores the readings and the age in the status line, from the core's freshness.
    void ShowFreshness();

    // MonitorDlgCommands.cpp: the busy state.
    bool Begin(int command, const QString& what);
    void Refuse();
    void FinishExit();

    MonitorApp& m_App;
    std::string m_LogPath;
    QtMonitorUi m_Ui;
    NotifyQueue m_Notify;
    jvo::qt::SettingsRouteStore m_Routes;  // the connect dialog's recent routes
    std::unique_ptr<MonitorSession> m_Session;

    MainArea* m_Area = nullptr;
    ListsPane* m_Lists = nullptr;
    QLabel* m_Version = nullptr;
    QCheckBox* m_AutoZero = nullptr;
    QPushButton* m_Dump = nullptr;
    QPushButton* m_ListToggle = nullptr;
    QPushButton* m_ViewToggle = nullptr;
    QPushButton* m_Events = nullptr;
    QLabel* m_StatusLine = nullptr;
    EventLogDlg* m_EventLog = nullptr;
    TrendBuffer m_Trend;
    // MonitorDlgRecord.cpp: the readings record.
    void StartRecording(const RecordSettings& settings);
    void StopRecording();
    void ShowRecordMark();
    RecordControl m_Record;
    RecordSettings m_RecordLast;
    QTimer m_RecordTimer;
    QLabel* m_RecordMark = nullptr;
    // MonitorDlgLine.cpp: the line's traffic and rates.
    void ShowLineRates();
    TrafficDlg* m_TrafficDlg = nullptr;
    LineRates m_Rates;
    QLabel* m_LineRates = nullptr;
    int64_t m_RatesShownMs = 0;  // when the rates' text was last looked at
    TrendDlg* m_TrendDlg = nullptr;
    QTimer m_Timer;
    QTimer m_NoteTimer;
    // While the display timer runs it takes the notes at its ticks, and a new note wakes nothing.
    std::atomic<bool> m_TimerTakesNotes{false};

    int m_Panel = 0;
    AlarmMode m_Mode = AlarmMode::Filtered;
    bool m_Connected = false;
    bool m_ShowSubfeeds = false;
    bool m_IconView = false;
    bool m_Lost = false;    // "Connection lost -- reconnecting"
    bool m_Silent = false;  // "Unit not answering"
    bool m_Stale = false;   // readings greyed
    QString m_AgeText;      // "data 12 s old" while stale
    int m_BusyCommand = 0;  // the CommandId running, 0 for none
    QString m_BusyText;
    bool m_CloseWhenIdle = false;
    bool m_Exiting = false;
};

}  // namespace jvo::monitor::qt
