// The shared window pieces on the offscreen platform: a message box wide enough for its title,
// an about box that keeps a path on one line, and icons drawn at the pixel ratio asked for (the
// scroll area that fits a window is tried by the window-fit tests of both programs).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

#include "qtcommon/AboutBox.h"
#include "qtcommon/IconDraw.h"
#include "qtcommon/WindowFit.h"

namespace jvo::qt {
namespace {

TEST(WindowTest, AMessageBoxLeavesItsTitleRoomBesideTheTitleBarButtons) {
    const QString title = QStringLiteral("JVO Config Tool");
    QMessageBox plain(QMessageBox::NoIcon, title, "Do you want to exit?",
                      QMessageBox::Yes | QMessageBox::No);
    QMessageBox widened(QMessageBox::NoIcon, title, "Do you want to exit?",
                        QMessageBox::Yes | QMessageBox::No);
    ShowWholeTitle(&widened);
    plain.show();
    widened.show();
    QApplication::processEvents();
    QFont bold = widened.font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    // Three title-bar buttons of a line and a half square beside the whole title in bold.
    EXPECT_GE(widened.width(), fm.horizontalAdvance(title) + 3 * fm.height() * 3 / 2);
    EXPECT_GT(widened.width(), plain.width());
    EXPECT_EQ(widened.text(), "Do you want to exit?");
}

TEST(WindowTest, TheAboutBoxShowsAPathOnOneLine) {
    AboutInfo info;
    info.title = "About";
    info.versionLine = "JVO Configuration Tool: Build 26";
    const QString line = "Log file: /home/field-engineer/.local/state/jvo/jvo-config.log";
    info.lines << line;
    AboutBox box(info, nullptr);
    box.show();
    QApplication::processEvents();
    QLabel* shown = nullptr;
    for (QLabel* l : box.findChildren<QLabel*>())
        if (l->text() == line) shown = l;
    ASSERT_NE(shown, nullptr);
    EXPECT_FALSE(shown->wordWrap());
    EXPECT_GE(shown->width(), shown->fontMetrics().horizontalAdvance(line));
    EXPECT_LT(shown->height(), 2 * shown->fontMetrics().lineSpacing());
}

TEST(WindowTest, IconsAreDrawnAtThePixelRatioAskedFor) {
    const auto disc = [](QPainter& p, const QRectF& r) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::red);
        p.drawEllipse(r);
    };
    const QIcon icon = MakeIcon(disc);
    for (qreal ratio : {1.0, 1.5, 2.0}) {
        const QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio);
        EXPECT_EQ(pixmap.size(), QSize(16, 16) * ratio) << ratio;
        EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
        // The drawing itself at that resolution, not another size scaled.
        EXPECT_EQ(pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  RenderImage(QSize(16, 16), ratio, disc))
            << ratio;
    }
    const QImage disabled = icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage();
    const QColor centre = disabled.pixelColor(8, 8);
    EXPECT_EQ(centre.red(), centre.green());  // grey
    EXPECT_LT(centre.alpha(), 255);
}
}  // namespace
}  // namespace jvo::qt

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
