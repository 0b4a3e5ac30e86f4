#pragma once
// TrafficDlg: View > Line...: the last requests and replies on the monitor's link (time, command,
// sequence, lengths, reply code, the link's status, round-trip time), failures in the alarm
// colours, newest at the bottom. While it is shown it is the link's tap (a TrafficLog); once it
// is closed the link has no tap again and copies nothing for it. "Pause" holds the list as it is
// (the log goes on), "Save..." writes the rows as text.
#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

#include "monitor/TrafficLog.h"

class QPushButton;
class QTableWidget;

namespace jvo {
class UnitLink;
}

namespace jvo::monitor::qt {

class TrafficDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRedrawMs = 500;

    TrafficDlg(UnitLink& link, QWidget* parent);
    ~TrafficDlg() override;

    QTableWidget* List() const { return m_List; }
    QPushButton* PauseButton() const { return m_Pause; }
    bool Paused() const { return m_Paused; }
    // Draws the log now (the timer does it when it moved and the list is not paused).
    void Redraw();

    // The user's actions, one slot each.
    void OnPause(bool paused);
    void OnClear();
    void OnSave();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    UnitLink& m_Link;
    std::shared_ptr<TrafficLog> m_Log;  // the link's tap while shown
    std::vector<TrafficEntry> m_Shown;  // the rows drawn
    QTableWidget* m_List;
    QPushButton* m_Pause;
    QTimer m_Timer;
    uint64_t m_Seen = ~uint64_t{0};
    bool m_Paused = false;
};

}  // namespace jvo::monitor::qt
