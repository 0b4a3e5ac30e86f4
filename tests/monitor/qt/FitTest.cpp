// jvo-monitor on the screen and at the scale of this run (see tests/qtcommon/FitCheck.h),
// connected through the proxy and showing readings: the window fits, every button (Auto-Zero
// included) is on the screen in both lists and both views, and the window can be made wider and
// narrower as well as lower. Saves jvo-monitor-<run>.png.
#include <QCheckBox>
#include <QScrollArea>
#include <QScrollBar>

#include "monitor/qt/ReadingsList.h"
#include "tests/monitor/qt/WindowFixture.h"
#include "tests/qtcommon/FitCheck.h"

namespace jvo::test {
namespace {

TEST_F(WindowTest, TheWindowFitsItsButtonsAreOnScreenAndItResizesBothWays) {
    const FitRun run = CurrentFitRun();
    monitor::ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = ProxyAddress();
    app = std::make_unique<monitor::MonitorApp>(true);  // a service user: Auto-Zero is shown
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log");
    dlg->PresetConnect(c);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    ASSERT_TRUE(NextCycle());
    ASSERT_TRUE(Pump([&] { return dlg->AutoZeroBox()->isEnabled(); }));

    ExpectFits(dlg.get(), run);
    for (int shown = 0; shown < 4; ++shown) {  // breakers and subfeeds, table and icons
        EXPECT_GE(ExpectButtonsOnScreen(dlg.get(), run), 8) << shown;
        if (shown == 0) {
            EXPECT_TRUE(SaveShot(dlg.get(), "jvo-monitor-" + run.name));
        }
        if (shown % 2 == 0)
            dlg->OnToggleView();
        else
            dlg->OnToggleList();
        QApplication::processEvents();
    }

    // Wider (a maximised window) and narrower than its controls, which then scroll, and lower.
    const QSize start = dlg->size();
    auto* scroll = qobject_cast<QScrollArea*>(dlg->centralWidget());
    ASSERT_NE(scroll, nullptr);
    dlg->resize(start.width() + 300, start.height());
    QApplication::processEvents();
    EXPECT_EQ(dlg->width(), start.width() + 300);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    const QSize small(start.width() / 2, std::max(dlg->minimumHeight(), start.height() - 100));
    dlg->resize(small);
    QApplication::processEvents();
    EXPECT_EQ(dlg->size(), small);
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
    dlg->ExitNow();
}

}  // namespace
}  // namespace jvo::test
