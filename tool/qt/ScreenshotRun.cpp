// The screenshot run.
#include "tool/qt/ScreenshotRun.h"

#include <QTimer>

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
    : jvo::qt::ScreenshotRun(&app, "jvo-config", "no screenshot after 120 s"),
      m_App(app),
      m_Path(std::move(path)),
      m_FileWanted(fileWanted) {
    connect(&app, &ToolApp::WorkflowFinished, this,
            [this] { QTimer::singleShot(0, this, &ScreenshotRun::Step); });
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
        if (!(d.UnitConnected() || d.Offline()))
            return Fail(FailureStatus(), "no configuration to show");
        if (FindOwnerSlot(m_App, ITEM_BREAKER, at) &&
            m_App.Run([at](BasicDlg& dlg) { dlg.Map().OnLButtonUp(at.x(), at.y()); }))
            return;  // the next step follows the selection
    }
    m_Stage = 2;
    Finish(Save(&m_App.Window(), m_Path));
}

}  // namespace jvo::tool::qt
