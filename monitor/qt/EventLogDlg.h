#pragma once
// The "Event Log" dialog: one of the three logs at a time (Panel A, Panel B, and Service for
// service users only), oldest event first, with "Dump" and "Clear Log"; beside each event's text
// the name of the breaker, subfeed or main feed it is about. One object lives as long
// as the main window and remembers the log shown between openings. While it is open the worker's
// event log notifications reach it, and the log shown is rebuilt when it changes.
#include <QDialog>

#include "monitor/MonitorSession.h"
#include "monitor/Notify.h"

class QRadioButton;
class QTableWidget;

namespace jvo::monitor::qt {

class EventLogDlg final : public QDialog {
    Q_OBJECT
public:
    EventLogDlg(MonitorSession& session, NotifyQueue& notify, QWidget* parent);

    static constexpr int kColumns = 4;

    // Opens the dialog (rebuilt) on the log of `panel`, the one the main window shows, or on the
    // Service log if that was shown last.
    void OpenLog(int panel);
    // A notification: the log `log` changed.
    void OnLogChanged(int log);
    int Shown() const { return m_Shown; }
    QTableWidget* List() const { return m_List; }
    QRadioButton* Radio(int log) const { return m_Radio[log]; }
    // The "Clear Log" question was answered Yes: the window runs the command.
    void OnClearLog();

signals:
    void ClearLogWanted(int log);
    void DumpWanted();

protected:
    void done(int result) override;

private:
    void Fill(int log, bool forced);

    MonitorSession& m_Session;
    NotifyQueue& m_Notify;
    QRadioButton* m_Radio[3] = {};
    QTableWidget* m_List;
    int m_Shown = 0;
};

}  // namespace jvo::monitor::qt
