#pragma once
// ToolApp (the application object): the main window, the user-interface port, the core's
// controller and the worker that runs its workflows. Every user action that may end in a
// question or a workflow runs on the worker, one at a time; while one runs, the window ignores
// input (and the progress window and the dialogs are application-modal), except a double-click
// on the picture, which waits for the click before it. Pointer movement over
// the picture only moves the hover mark and is handled at once on the UI thread when no workflow
// runs.
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "qtcommon/ProgramSettings.h"
#include "tool/BasicDlg.h"
#include "tool/WorkflowRunner.h"
#include "tool/qt/QtToolUi.h"
#include "tool/qt/ToolWindow.h"

namespace jvo::tool::qt {

class PanelPicture;

class ToolApp final : public QObject {
    Q_OBJECT
public:
    ToolApp(WindowLayout layout, std::string logPath);
    ~ToolApp() override;

    // Window initialisation, then the window is shown and the start-up timer started.
    void Start();
    // Runs `step` on the worker; false (and nothing runs) while another one runs.
    bool Run(std::function<void(BasicDlg&)> step);
    // Ends the program without the exit question (a request from outside: Ctrl+C, SIGTERM). With
    // no workflow running the window closes at once, and the link with it. A running workflow is
    // let end by itself, an install included, so that the unit is left whole; nobody answers it
    // any more (questions get their default answers, dialogs are cancelled as they open), and
    // the window closes when it has ended. Nothing is saved.
    void EndOnRequest();
    bool Busy() const { return m_Runner.Busy(); }

    ToolWindow& Window() { return m_Window; }
    QtToolUi& Ui() { return m_Ui; }
    // The controller; call it only while no workflow runs.
    BasicDlg& Dlg() { return m_Dlg; }
    PanelPicture& Picture();

signals:
    // A workflow ended (on the UI thread).
    void WorkflowFinished();

private:
    void OnFinished();
    void Redraw();
    // Cancels every dialog and menu that is open, the progress window aside.
    void DismissDialogs();
    void CloseNow();

    ToolWindow m_Window;
    jvo::qt::SettingsRouteStore m_Routes;  // the connect dialog's recent routes
    QtToolUi m_Ui;
    BasicDlg m_Dlg;
    std::function<void(BasicDlg&)> m_Queued;  // a double-click that came while busy
    bool m_RedrawWanted = false;              // the picture changed scale while busy
    WorkflowRunner m_Runner;
    bool m_EndRequested = false;
    QTimer m_Dismiss;  // while an ended program waits for its workflow
};

}  // namespace jvo::tool::qt
