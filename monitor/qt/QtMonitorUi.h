#pragma once
// QtMonitorUi: the monitor's user-interface port in Qt widgets. The core calls it on its command
// thread; each call is carried to the UI thread with a queued call, where the message box or the
// connect dialog is opened with open() (no nested event loop), and the command thread waits for
// the answer. Shutdown() answers every waiting call with its fallback, so the window can stop the
// command thread while it closes without either side waiting on the other.
#include <QPointer>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "monitor/MonitorUi.h"
#include "monitor/qt/ConnectDlg.h"

class QWidget;

namespace jvo::monitor::qt {

class QtMonitorUi final : public MonitorUi {
public:
    explicit QtMonitorUi(QWidget& window) : m_Window(window) {}

    // The first connect dialog is answered with this choice instead of asking (command line).
    // With `comPort` > 0 that port's entry is chosen (or, when it is not listed, its device).
    void PresetConnect(ConnectChoice choice, int comPort = 0) {
        choice.m_Kind = ConnectChoice::CONNECT;
        m_Preset = std::move(choice);
        m_PresetCom = comPort;
    }

    MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon) override;
    ConnectChoice RunConnectDialog(const ConnectDlgState& state) override;
    void SetTitle(const std::string& title) override;

    // UI thread: the connect sequence has ended; the dialog goes.
    void CloseConnectDialog();
    ConnectDlg* Dialog() const { return m_Dialog; }
    // UI thread: answers every waiting call with its fallback; later calls get it at once.
    void Shutdown();

private:
    // Runs `start(done)` on the UI thread and waits for done(result), or for Shutdown().
    template <class R>
    R Await(R fallback, std::function<void(std::function<void(R)>)> start);

    QWidget& m_Window;
    std::optional<ConnectChoice> m_Preset;
    int m_PresetCom = 0;
    QPointer<ConnectDlg> m_Dialog;  // UI thread only
    std::mutex m_Lock;
    bool m_Closing = false;
    std::vector<std::function<void()>> m_Cancels;  // one per call that waits or waited
};

// The program's message box: its title, the icon, OK or Yes/No (No the default), opened without
// a nested loop; `done` gets the answer. Also used for the window's own questions.
void ShowMessage(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                 std::function<void(MsgResult)> done);

}  // namespace jvo::monitor::qt
