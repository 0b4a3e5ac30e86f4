// The about box.
#include "tool/qt/AboutDlg.h"

#include "qtcommon/IconDraw.h"
#include "tool/Menus.h"

namespace jvo::tool::qt {

QIcon ToolIcon() {
    return jvo::qt::MakeIcon(
        [](QPainter& p, const QRectF& r) { jvo::qt::DrawPanelIcon(p, r, QColor(214, 176, 64)); });
}

namespace {
jvo::qt::AboutInfo Info(const std::string& logPath) {
    jvo::qt::AboutInfo info;
    const AboutTexts& t = AboutBoxTexts();
    info.title = QString::fromStdString(t.title);
    info.icon = ToolIcon();
    info.versionLine = QString::fromStdString(t.version);
    info.lines << QObject::tr("Log file: %1").arg(QString::fromStdString(logPath));
    return info;
}
}  // namespace

CAboutDlg::CAboutDlg(const std::string& logPath, QWidget* parent)
    : AboutBox(Info(logPath), parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
}

}  // namespace jvo::tool::qt
