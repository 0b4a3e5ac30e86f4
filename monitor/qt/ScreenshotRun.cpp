// The screenshot run.
#include "monitor/qt/ScreenshotRun.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/MonitorDlg.h"
#include "qtcommon/CommandLine.h"

namespace jvo::monitor::qt {

namespace {
constexpr int kStepMs = 150;
constexpr int kGiveUpMs = 120000;
constexpr int kMaxWaits = 200;    // 30 s for the first full poll cycle
constexpr int kSettleWaits = 40;  // 6 s: an alarm present at connect is filtered by then
}  // namespace

ScreenshotRun::ScreenshotRun(MonitorDlg& dlg, QString dir)
    : QObject(&dlg), m_Dlg(dlg), m_Dir(std::move(dir)) {
    QTimer::singleShot(kGiveUpMs, this, [] {
        std::fprintf(stderr, "jvo-monitor: no readings to show after two minutes\n");
        QApplication::exit(jvo::cmdline::kExitFailed);
    });
    connect(&dlg, &MonitorDlg::ConnectFinished, this, [this](bool ok) {
        if (!ok) return Finish(jvo::cmdline::kExitFailed);
        QTimer::singleShot(kStepMs, this, &ScreenshotRun::Step);
    });
}

bool ScreenshotRun::Save(QWidget* w, const QString& name) {
    const QString path = QDir(m_Dir).absoluteFilePath(name);
    if (!w->grab().save(path, "PNG")) {
        std::fprintf(stderr, "jvo-monitor: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    m_Saved << path;
    return true;
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
            ok = Save(&m_Dlg, QStringLiteral("monitor-breakers-table.png"));
            m_Dlg.OnToggleView();
            break;
        case 1:
            ok = Save(&m_Dlg, QStringLiteral("monitor-breakers-icons.png"));
            m_Dlg.OnToggleList();
            break;
        case 2:
            ok = Save(&m_Dlg, QStringLiteral("monitor-subfeeds-icons.png"));
            m_Dlg.OnToggleView();
            break;
        case 3:
            ok = Save(&m_Dlg, QStringLiteral("monitor-subfeeds-table.png"));
            m_Dlg.OnToggleList();
            m_Dlg.OnEvents();
            break;
        default:
            ok = Save(m_Dlg.EventLog(), QStringLiteral("monitor-eventlog.png"));
            m_Dlg.EventLog()->reject();
            for (const QString& p : m_Saved)
                std::printf("%s\n", p.toLocal8Bit().constData());
            std::fflush(stdout);
            return Finish(ok ? jvo::cmdline::kExitOk : jvo::cmdline::kExitOutput);
    }
    if (!ok) return Finish(jvo::cmdline::kExitOutput);
    QTimer::singleShot(kStepMs, this, &ScreenshotRun::Step);
}

void ScreenshotRun::Finish(int status) {
    QApplication::exit(status);
}

}  // namespace jvo::monitor::qt
