// The about box.
#include "tool/qt/AboutDlg.h"

#include "base/FormatStr.h"
#include "qtcommon/IconDraw.h"
#include "tool/Texts.h"

namespace jvo::tool::qt {

QIcon ToolIcon() {
    return jvo::qt::MakeIcon([](QPainter& p, const QRectF& r) {
        jvo::qt::DrawPanelIcon(p, r, QColor(214, 176, 64));
    });
}

namespace {
jvo::qt::AboutInfo Info(const std::string& logPath) {
    jvo::qt::AboutInfo info;
    info.title = QString::fromUtf8(text::kAboutTitle);
    info.icon = ToolIcon();
    info.versionLine = QString::fromStdString(
        FormatStr("JVO Configuration Tool: Build %d", text::kToolBuild));
    info.lines << QObject::tr("Log file: %1").arg(QString::fromStdString(logPath));
    return info;
}
}  // namespace

CAboutDlg::CAboutDlg(const std::string& logPath, QWidget* parent)
    : AboutBox(Info(logPath), parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
}

}  // namespace jvo::tool::qt
