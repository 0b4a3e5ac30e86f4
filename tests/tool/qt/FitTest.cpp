// jvo-config on the screen and at the scale of this run (see tests/qtcommon/FitCheck.h): the
// window fits, every button is on the screen, the picture has its described size when there is
// room and is shown one image pixel per device pixel at every scale, a click hits the slot drawn
// under it, and the window can be made smaller. Saves jvo-config-<run>.png.
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>

#include "config/ConfigFile.h"
#include "sim/SimConfigs.h"
#include "tests/config/TestConfigs.h"
#include "tests/qtcommon/FitCheck.h"
#include "tests/tool/qt/WindowDriver.h"
#include "tool/qt/ScreenshotRun.h"

namespace jvo::tool::qt::test {
namespace {

// Pixels of `a` and `b` that differ, over the part both cover.
int Differences(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int r = 0; r < std::min(x.height(), y.height()); ++r)
        for (int c = 0; c < std::min(x.width(), y.width()); ++c)
            n += x.pixel(c, r) != y.pixel(c, r);
    return n;
}

TEST(FitTest, TheWindowFitsItsButtonsAreOnScreenAndThePictureIsCrisp) {
    const jvo::test::FitRun run = jvo::test::CurrentFitRun();
    jvo::test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string file = dir.File("demo.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(sim::MakeDemoConfig(), file));
    // The layout as the program chooses it.
    const int workArea = QGuiApplication::primaryScreen()->availableGeometry().height();
    const WindowLayout layout = ChooseWindowLayout(workArea);
    ToolApp app(layout, dir.File("log"));
    app.Ui().PresetConnect(ConnectResult{}, file);
    app.Start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.Dlg().Offline() && !app.Busy(); }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&app.Window()));
    QApplication::processEvents();

    jvo::test::ExpectFits(&app.Window(), run);
    // No strip below the controls: no status bar, the form reaches the window's bottom edge.
    EXPECT_EQ(app.Window().findChild<QStatusBar*>(), nullptr);
    EXPECT_EQ(app.Window().centralWidget()->geometry().bottom(), app.Window().rect().bottom());
    EXPECT_GE(jvo::test::ExpectButtonsOnScreen(&app.Window(), run), 16);

    PanelPicture& picture = app.Picture();
    const QSize described = layout == WindowLayout::COMPACT
                                ? QSize(UserMap::kCompactWidth, UserMap::kCompactHeight)
                                : QSize(UserMap::kLargeWidth, UserMap::kLargeHeight);
    if (run.ratio == 1) {
        EXPECT_EQ(picture.size(), described);
    }
    // Drawn at the resolution it is shown at: what the window shows is the image itself.
    const QImage& image = picture.Picture();
    EXPECT_NEAR(image.width(), picture.width() * run.ratio, 1.5);
    EXPECT_NEAR(image.height(), picture.height() * run.ratio, 1.5);
    EXPECT_EQ(Differences(picture.grab().toImage(), image), 0);

    // A click on a breaker's slot, wherever the scale put it, selects that breaker.
    QPoint at;
    ASSERT_TRUE(FindOwnerSlot(app, ITEM_BREAKER, at));
    QTest::mouseClick(&picture, Qt::LeftButton, {}, (QPointF(at) * picture.Zoom()).toPoint());
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_NE(FieldText(app, IDC_BREAKER_NAME), "No Breaker Selected");
    EXPECT_TRUE(jvo::test::SaveShot(&app.Window(), "jvo-config-" + run.name));

    // Smaller than it wants: the picture shrinks with the height, the rest scrolls if it must.
    const qreal zoom = picture.Zoom();
    const QSize smaller(app.Window().width() * 4 / 5, app.Window().height() * 3 / 4);
    app.Window().resize(smaller);
    QApplication::processEvents();
    EXPECT_EQ(app.Window().size(), smaller);
    EXPECT_LT(picture.Zoom(), zoom);
    EXPECT_LT(picture.height(), described.height());
    ASSERT_TRUE(WaitIdle(app));
    EXPECT_EQ(Differences(picture.grab().toImage(), picture.Picture()), 0);
}

}  // namespace
}  // namespace jvo::tool::qt::test
