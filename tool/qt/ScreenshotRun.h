#pragma once
// For scripts and the demo: once the start-up workflow has ended with a configuration, click the
// first branch breaker of the panel picture (as a user would), then save the main window as a PNG
// file and end the program with the convention's exit status. It reads the controller's state
// only on the UI thread between workflows.
#include <QPoint>
#include <QString>

#include "qtcommon/ScreenshotRun.h"
#include "tool/ItemKind.h"

namespace jvo::tool::qt {

class ToolApp;

// Finds the centre of the first slot of the current panel whose owner is of `kind`; false when
// there is none.
bool FindOwnerSlot(ToolApp& app, ItemKind kind, QPoint& centre);

// Without a screenshot after kGiveUpMs the program ends with FailureStatus().
class ScreenshotRun final : public jvo::qt::ScreenshotRun {
public:
    // `fileWanted`: the configuration comes from a file, so its absence is a file problem.
    ScreenshotRun(ToolApp& app, QString path, bool fileWanted = false);

    // The exit status of a run that ended without a screenshot: 3 when the configuration was to
    // come from a file, else 1 (no unit connected).
    int FailureStatus() const;

private:
    int GiveUpStatus() const override { return FailureStatus(); }
    void Step();

    ToolApp& m_App;
    QString m_Path;
    bool m_FileWanted = false;
    int m_Stage = 0;
};

}  // namespace jvo::tool::qt
