// The screenshot run.
#include "monitor/qt/ScreenshotRun.h"

#include <QDir>
#include <QTimer>

#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/MonitorDlg.h"
#include "qtcommon/CommandLine.h"

namespace jvo::monitor::qt {

namespace {
constexpr int kStepMs = 150;
constexpr int kMaxWaits = 200;    // 30 s for the first full poll cycle
constexpr int kSettleWaits = 40;  // 6 s: an alarm present at connect is filtered by then
}  // namespace

ScreenshotRun::ScreenshotRun(MonitorDlg& dlg, QString dir)
    : jvo::qt::ScreenshotRun(&dlg, "jvo-monitor", "no readings to show after two minutes"),
      m_Dlg(dlg),
      m_Dir(std::move(dir)) {
    connect(&dlg, &MonitorDlg::ConnectFinished, this, [this](bool ok) {
        if (!ok) return Fail(jvo::cmdline::kExitFailed, "not connected");
        QTimer::singleShot(kStepMs, this, &ScreenshotRun::Step);
    });
}

bool ScreenshotRun::SaveAs(QWidget* w, const QString& name) {
    return Save(w, QDir(m_Dir).absoluteFilePath(name));
}

void ScreenshotRun::Step() {
    // The first shot waits for a whole poll cycle (both panels and the event logs).
    const bool ready = m_Dlg.Session().Worker().Cycles() >= 1 && m_Waits >= kSettleWaits;
    if (m_Stage == 0 && !ready && ++m_Waits < kMaxWaits) {
        QTimer::singleShot(kStepMs, this, &ScreenshotRun::Step);
        return;
    }
    QDir().mkpath(m_Dir);
    bool ok = true;
    switch (m_Stage++) {
        case 0:
            ok = SaveAs(&m_Dlg, QStringLiteral("monitor-breakers-table.png"));
            m_Dlg.OnToggleView();
            break;
        case 1:
            ok = SaveAs(&m_Dlg, QStringLiteral("monitor-breakers-icons.png"));
            m_Dlg.OnToggleList();
            break;
        case 2:
            ok = SaveAs(&m_Dlg, QStringLiteral("monitor-subfeeds-icons.png"));
            m_Dlg.OnToggleView();
            break;
        case 3:
            ok = SaveAs(&m_Dlg, QStringLiteral("monitor-subfeeds-table.png"));
            m_Dlg.OnToggleList();
            m_Dlg.OnEvents();
            break;
        default:
            ok = SaveAs(m_Dlg.EventLog(), QStringLiteral("monitor-eventlog.png"));
            m_Dlg.EventLog()->reject();
            return Finish(ok);
    }
    if (!ok) return Finish(false);
    QTimer::singleShot(kStepMs, this, &ScreenshotRun::Step);
}

}  // namespace jvo::monitor::qt
