// The screenshot run.
#include "tool/qt/ScreenshotRun.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "qtcommon/CommandLine.h"
#include "tool/qt/PanelPicture.h"
#include "tool/qt/ToolApp.h"

namespace jvo::tool::qt {

bool FindOwnerSlot(ToolApp& app, ItemKind kind, QPoint& centre) {
    UserMap& map = app.Dlg().Map();
    const int panel = map.Panel();
    for (int s = 0; s < kPanelSlots; ++s) {
        const Slot& slot = map.PanelSlot(panel, s);
        if (slot.m_Owner && slot.m_Owner->m_Kind == OwnerKindOf(kind)) {
            centre = PanelPicture::SlotCentre(map, slot);
            return true;
        }
    }
    return false;
}

ScreenshotRun::ScreenshotRun(ToolApp& app, QString path, bool fileWanted)
    : QObject(&app), m_App(app), m_Path(std::move(path)), m_FileWanted(fileWanted) {
    connect(&app, &ToolApp::WorkflowFinished, this,
            [this] { QTimer::singleShot(0, this, &ScreenshotRun::Step); });
    // A script must not wait for ever on a question nobody answers (a unit that does not
    // answer, a file that does not load). The workflow may be waiting for the window's thread,
    // so the program ends at once rather than unwinding.
    QTimer::singleShot(kTimeoutMs, this, [this] {
        // The controller may be busy: judge by this run's own progress, not by its state.
        std::fprintf(stderr, "jvo-config: no screenshot after %d s\n", kTimeoutMs / 1000);
        std::fflush(nullptr);
        std::_Exit(FailureStatus());
    });
}

int ScreenshotRun::FailureStatus() const {
    return m_FileWanted ? jvo::cmdline::kExitFile : jvo::cmdline::kExitFailed;
}

void ScreenshotRun::Step() {
    if (m_App.Busy()) {
        QTimer::singleShot(10, this, &ScreenshotRun::Step);
        return;
    }
    if (m_Stage == 0) {
        m_Stage = 1;
        QPoint at;
        const BasicDlg& d = m_App.Dlg();
        if (!(d.UnitConnected() || d.Offline())) {
            std::fprintf(stderr, "jvo-config: no configuration to show\n");
            QApplication::exit(FailureStatus());
            return;
        }
        if (FindOwnerSlot(m_App, ITEM_BREAKER, at) &&
            m_App.Run([at](BasicDlg& dlg) { dlg.Map().OnLButtonUp(at.x(), at.y()); }))
            return;  // the next step follows the selection
    }
    m_Stage = 2;
    const bool saved = m_App.Window().grab().save(m_Path, "PNG");
    if (saved)
        std::printf("%s\n", m_Path.toLocal8Bit().constData());
    else
        std::fprintf(stderr, "jvo-config: cannot write %s\n", m_Path.toLocal8Bit().constData());
    QApplication::exit(saved ? jvo::cmdline::kExitOk : jvo::cmdline::kExitOutput);
}

}  // namespace jvo::tool::qt
