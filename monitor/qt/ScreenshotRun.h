#pragma once
// For scripts and the demo: once connected and the first readings are in, save the main window
// in each view (breakers and subfeeds, table and icons) and the event log dialog as PNG files,
// print their paths and end the program with the convention's exit status.
#include <QObject>
#include <QString>
#include <QStringList>

namespace jvo::monitor::qt {

class MonitorDlg;

class ScreenshotRun final : public QObject {
    Q_OBJECT
public:
    ScreenshotRun(MonitorDlg& dlg, QString dir);

private:
    void Step();
    bool Save(QWidget* w, const QString& name);
    void Finish(int status);

    MonitorDlg& m_Dlg;
    QString m_Dir;
    int m_Stage = 0;
    int m_Waits = 0;
    QStringList m_Saved;
};

}  // namespace jvo::monitor::qt
