#pragma once
// For scripts and the demo: once the start-up workflow has ended with a configuration, click the
// first branch breaker of the panel picture (as a user would), then save the main window as a PNG
// file and end the program with the convention's exit status. Reading m_App.Dlg()'s state is
// safe here: it runs on the UI thread between workflows (the time-out excepted, which only reads
// two flags before it ends the program).
#include <QObject>
#include <QString>

namespace jvo::tool::qt {

class ToolApp;

// Finds the centre of the first slot of the current panel whose owner is of `kind`; false when
// there is none.
bool FindOwnerSlot(ToolApp& app, int kind, QPoint& centre);

class ScreenshotRun final : public QObject {
    Q_OBJECT
public:
    // Without a screenshot by then the program ends with status 4 (no unit) or 1.
    static constexpr int kTimeoutMs = 120000;

    ScreenshotRun(ToolApp& app, QString path);

private:
    void Step();

    ToolApp& m_App;
    QString m_Path;
    int m_Stage = 0;
};

}  // namespace jvo::tool::qt
