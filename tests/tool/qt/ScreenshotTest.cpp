// Screenshots of jvo-config for the documentation and for looking at: both window layouts, the
// panel and the auxiliary view, a panel in each panel layout (A is odd/even, B sequential in the
// demo cabinet), with the light and the dark palette. Written to $JVO_SCREENSHOT_DIR.
#include <QDir>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>
#include <cstdlib>

#include "config/ConfigDiff.h"
#include "config/ConfigFile.h"
#include "qtcommon/IconDraw.h"
#include "sim/SimConfigs.h"
#include "tests/config/TestConfigs.h"
#include "tests/tool/qt/WindowDriver.h"
#include "tool/Texts.h"
#include "tool/qt/CompareDlg.h"
#include "tool/qt/ConnectDlg.h"
#include "tool/qt/ScreenshotRun.h"
#include "tool/qt/ToolWindow.h"

namespace jvo::tool::qt::test {
namespace {

QPalette DarkPalette() {
    QPalette p;
    const QColor window(45, 47, 51), base(30, 31, 34), text(225, 227, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(55, 58, 63));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(61, 142, 230));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(80, 83, 88));
    p.setColor(QPalette::Midlight, QColor(66, 69, 74));
    p.setColor(QPalette::Mid, QColor(38, 40, 43));
    p.setColor(QPalette::Dark, QColor(25, 26, 28));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(120, 122, 126));
    return p;
}

// Mean lightness of an image, 0..255.
int MeanLightness(const QImage& image) {
    const QImage small = image.scaled(64, 64);
    int64_t sum = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            sum += small.pixelColor(x, y).lightness();
    return static_cast<int>(sum / (small.width() * small.height()));
}

TEST(ScreenshotTest, BothLayoutsViewsPanelLayoutsAndPalettes) {
    jvo::test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const char* env = std::getenv("JVO_SCREENSHOT_DIR");
    const QString out = env && *env ? QString::fromUtf8(env) : QString::fromStdString(dir.Path());
    ASSERT_TRUE(QDir().mkpath(out));
    const std::string file = dir.File("demo.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(sim::MakeDemoConfig(), file));
    const QPalette light = QApplication::style()->standardPalette();

    std::map<QString, int> lightness;
    for (WindowLayout layout : {WindowLayout::COMPACT, WindowLayout::LARGE}) {
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            ToolApp app(layout, dir.File("log"));
            app.Ui().PresetConnect(ConnectResult{}, file);
            app.Start();
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return app.Dlg().Offline() && !app.Busy(); }, kWaitMs));
            QPoint at;
            ASSERT_TRUE(FindOwnerSlot(app, ITEM_BREAKER, at));
            QTest::mouseClick(&app.Picture(), Qt::LeftButton, {}, at);
            ASSERT_TRUE(WaitIdle(app));
            const QString stem =
                QStringLiteral("%1/jvo-config-%2-%3")
                    .arg(out, layout == WindowLayout::COMPACT ? "compact" : "large",
                         dark ? "dark" : "light");
            const auto shoot = [&](const QString& name) {
                const QImage image = app.Window().grab().toImage();
                EXPECT_TRUE(image.save(stem + name + ".png")) << (stem + name).toStdString();
                lightness[stem + name] = MeanLightness(image);
            };
            // The frame stands out from the ground: the core's greys in the light palette, at
            // least their contrast in the dark one.
            const QImage& picture = app.Picture().Picture();
            const QColor frame = picture.pixelColor(0, 0), ground = picture.pixelColor(3, 3);
            if (dark) {
                EXPECT_GE(jvo::qt::ContrastRatio(frame, ground),
                          jvo::qt::ContrastRatio(QColor(64, 64, 64), QColor(192, 192, 192)));
                EXPECT_LT(ground.lightness(), 128);
            } else {
                EXPECT_EQ(frame, QColor(64, 64, 64));
                EXPECT_EQ(ground, QColor(192, 192, 192));
            }
            shoot("-panel-a");  // panel A: odd/even layout, right column mirrored
            // The breaker's tooltip, as hovering shows it.
            QHelpEvent help(QEvent::ToolTip, at, app.Picture().mapToGlobal(at));
            QApplication::sendEvent(&app.Picture(), &help);
            QWidget* tip = nullptr;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    for (QWidget* w : QApplication::topLevelWidgets())
                        if (w->inherits("QTipLabel") && w->isVisible()) tip = w;
                    return tip != nullptr;
                },
                kWaitMs));
            EXPECT_TRUE(QToolTip::text().startsWith("Breaker \""))
                << QToolTip::text().toStdString();
            EXPECT_TRUE(tip->grab().save(stem + "-tooltip.png"));
            QToolTip::hideText();
            Click(app, IDC_VIEW_AUX);
            ASSERT_TRUE(WaitIdle(app));
            shoot("-aux-a");
            Click(app, IDC_VIEW_PANEL);
            ASSERT_TRUE(WaitIdle(app));
            Click(app, IDC_PANEL_B);
            ASSERT_TRUE(WaitIdle(app));
            EXPECT_EQ(app.Dlg().Map().Panel(), 1);
            shoot("-panel-b");  // panel B: sequential layout
        }
    }
    QApplication::setPalette(light);
    // The dark palette reaches the whole window, the picture included.
    for (const auto& [name, value] : lightness) {
        if (name.contains("-dark")) {
            EXPECT_LT(value + 60, lightness[QString(name).replace("-dark", "-light")])
                << name.toStdString();
        }
    }
}

// The connect dialog with its recent routes and the pin, the comparison with the unit, and the
// status line after an install with the unsaved-changes mark, in both palettes.
TEST(ScreenshotTest, ConnectDialogComparisonAndStatusLine) {
    jvo::test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const char* env = std::getenv("JVO_SCREENSHOT_DIR");
    const QString out = env && *env ? QString::fromUtf8(env) : QString::fromStdString(dir.Path());
    ASSERT_TRUE(QDir().mkpath(out));
    const QPalette light = QApplication::style()->standardPalette();
    UnitConfig edited = sim::MakeDemoConfig();
    edited.m_Unit.m_UnitName = "CABINET 3 EAST";
    edited.m_Panels[0].m_Breakers[0].m_Rating += 10;
    edited.m_Ct[5].m_Primary = 200;
    QStringList lines;
    for (const std::string& line : DiffConfigs(sim::MakeDemoConfig(), edited))
        lines << QString::fromStdString(line);
    ASSERT_EQ(lines.size(), 3) << lines.join("\n").toStdString();
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? DarkPalette() : light);
        const QString suffix = dark ? "-dark" : "-light";
        PortEntry usb{2, "/dev/ttyUSB0", "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"};
        ConnectDlg connect({"COM1", "COM2"}, {PortEntry{1, "/dev/ttyS0", {}}, usb}, 1,
                           {"COM2",
                            "proxy tls://gateway.site:43016 (CA ca.pem, certificate "
                            "engineer.pem, key engineer.key)"},
                           nullptr);
        connect.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&connect));
        EXPECT_EQ(connect.SelectedIndex(), 1);
        EXPECT_TRUE(connect.grab().save(out + "/jvo-config-connect" + suffix + ".png"));

        CompareDlg compare(QString::fromUtf8(text::kCompareTitle),
                           "Installing would change 3 things on the unit (the unit's value -> "
                           "the value to be installed):",
                           lines, true, nullptr);
        compare.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&compare));
        EXPECT_TRUE(compare.grab().save(out + "/jvo-config-compare" + suffix + ".png"));

        ToolWindow window(WindowLayout::LARGE);
        window.ShowStatus(QString::fromUtf8(text::kInstalledStatus));
        window.SetUnsavedMark("Unsaved changes: cabinet-3.jvo.cfg");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_TRUE(window.grab(QRect(0, 0, window.width(), 40))
                        .save(out + "/jvo-config-status" + suffix + ".png"));
    }
    QApplication::setPalette(light);
}

}  // namespace
}  // namespace jvo::tool::qt::test
