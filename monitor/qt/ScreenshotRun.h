#pragma once
// For scripts and the demo: once connected and the first readings are in, save the main window
// in each view (breakers and subfeeds, table and icons) and the event log dialog as PNG files,
// print their paths and end the program with the convention's exit status.
#include <QString>

#include "qtcommon/ScreenshotRun.h"

namespace jvo::monitor::qt {

class MonitorDlg;

class ScreenshotRun final : public jvo::qt::ScreenshotRun {
public:
    ScreenshotRun(MonitorDlg& dlg, QString dir);

private:
    void Step();
    bool SaveAs(QWidget* w, const QString& name);

    MonitorDlg& m_Dlg;
    QString m_Dir;
    int m_Stage = 0;
    int m_Waits = 0;
};

}  // namespace jvo::monitor::qt
