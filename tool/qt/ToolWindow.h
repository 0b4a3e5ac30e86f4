#pragma once
// The configuration tool's main window: the form of controls, a Help menu with the about item
// (the desktop has no system menu to add it to), the Enter and Escape keys and the close box. It
// only reports what the user did; ToolApp passes it on to the core.
#include <QMainWindow>

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

signals:
    void OkKey();
    void CancelKey();
    void AboutRequested();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    ToolForm* m_Form;
    bool m_CloseAllowed = false;
};

}  // namespace jvo::tool::qt
