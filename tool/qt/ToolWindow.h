#pragma once
// The configuration tool's main window: the form of controls, a File menu (Connect...,
// Disconnect, Compare with Unit...), a Help menu with the about item (the desktop has no system
// menu to add it to), a status line in the menu bar's free room with the unsaved-changes mark,
// the Enter and Escape keys and the close box. It only reports what the user did; ToolApp passes
// it on to the core.
#include <QMainWindow>

class QAction;
class QLabel;

#include "tool/WindowLayout.h"

namespace jvo::tool::qt {

class ToolForm;

class ToolWindow final : public QMainWindow {
    Q_OBJECT
public:
    explicit ToolWindow(WindowLayout layout);

    ToolForm* Form() const { return m_Form; }
    // Lets the next close go through (the core decided to close the window).
    void AllowClose() { m_CloseAllowed = true; }
    // The status line's message, and its mark of unsaved changes (empty: none).
    void ShowStatus(const QString& text);
    void SetUnsavedMark(const QString& mark);
    // The File menu's entries for a window with or without a unit.
    void SetConnected(bool connected);

signals:
    void OkKey();
    void CancelKey();
    void AboutRequested();
    void ConnectRequested();
    void DisconnectRequested();
    void CompareRequested();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    ToolForm* m_Form;
    QAction* m_Connect;
    QAction* m_Disconnect;
    QAction* m_Compare;
    QLabel* m_Status;
    QLabel* m_Unsaved;
    bool m_CloseAllowed = false;
};

}  // namespace jvo::tool::qt
