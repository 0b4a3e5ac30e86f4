// The panel picture from the keyboard, as a user reaches it: Tab onto the picture, the arrows move
// the selection, Enter opens the breaker's edit and applies it, the menu key opens the menu.
#include <QContextMenuEvent>
#include <QMenu>

#include "config/ConfigFile.h"
#include "sim/SimConfigs.h"
#include "tests/config/TestConfigs.h"
#include "tests/tool/qt/WindowDriver.h"

namespace jvo::tool::qt::test {
namespace {

TEST(PictureKeysTest, ArrowsEnterAndTheMenuKeyWorkOnTheFocusedPicture) {
    jvo::test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string file = dir.File("demo.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(sim::MakeDemoConfig(), file));
    ToolApp app(WindowLayout::LARGE, dir.File("log"));
    app.Ui().PresetConnect(ConnectResult{}, file);
    app.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Dlg().Offline() && !app.Busy(); }, kWaitMs));
    app.Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app.Window()));
    PanelPicture& picture = app.Picture();
    // A click selects without taking the focus: Enter stays the window's for a mouse user.
    QTest::mouseClick(&picture, Qt::LeftButton, {},
                      PanelPicture::SlotCentre(app.Dlg().Map(), app.Dlg().Map().PanelSlot(0, 0)));
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_FALSE(picture.hasFocus());
    // The picture comes after the other controls in the tab order: Tab from Exit reaches it.
    QWidget* exit = app.Window().Form()->Control(IDC_EXIT);
    exit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(exit, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picture.hasFocus(); }, kWaitMs));

    UserMap& map = app.Dlg().Map();
    QTest::keyClick(&picture, Qt::Key_Up);  // from the clicked breaker to the main feed
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_EQ(map.Selected(0, 0), &map.MainSlot(0, 0));
    QTest::keyClick(&picture, Qt::Key_Down);  // the first breaker again
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_EQ(map.Selected(0, 0), &map.PanelSlot(0, 0));
    EXPECT_EQ(FieldText(app, IDC_BREAKER_NAME).toStdString(),
              app.Dlg().Config().m_Panels[0].m_Breakers[0].m_Name);
    QTest::keyClick(&picture, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Dlg().EditGroup() == EDIT_BREAKER; }, kWaitMs));
    ASSERT_TRUE(WaitIdle(app));
    picture.setFocus();
    QTest::keyClick(&picture, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Dlg().EditGroup() == EDIT_NONE; }, kWaitMs));
    ASSERT_TRUE(WaitIdle(app));

    // The menu key, as the window system turns it into a menu request: the breaker's "Delete"
    // menu; Escape closes it unchosen.
    picture.setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(5, 5),
                              picture.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&picture, &menuKey);
    QMenu* menu = WaitVisible<QMenu>();
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Escape);
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_EQ(map.Selected(0, 0), &map.PanelSlot(0, 0));
}

}  // namespace
}  // namespace jvo::tool::qt::test
