// The about box.
#include "monitor/qt/AboutDlg.h"

#include "qtcommon/IconDraw.h"

namespace jvo::monitor::qt {

QIcon MonitorIcon() {
    return jvo::qt::MakeIcon(
        [](QPainter& p, const QRectF& r) { jvo::qt::DrawPanelIcon(p, r, QColor(40, 170, 60)); });
}

namespace {
jvo::qt::AboutInfo Info(const AboutView& v, const std::string& logPath) {
    auto Q = [](const std::string& s) { return QString::fromStdString(s); };
    jvo::qt::AboutInfo info;
    info.title = QObject::tr("About Monitor");
    info.icon = MonitorIcon();
    info.heading = Q(v.m_Title);
    info.versionLine = Q(v.m_Version);
    info.appGroup = QObject::tr("Application Information");
    info.rowsGroup = QObject::tr("Target Information");
    info.rows = {
        {QObject::tr("Build No:"), Q(v.m_FirmwareBuild), QStringLiteral("firmwareBuild")},
        {QObject::tr("H/W Version:"), Q(v.m_HardwareVersion), QStringLiteral("hardwareVersion")},
        {QObject::tr("Config Schema:"), Q(v.m_Schema), QStringLiteral("schema")}};
    info.lines << QObject::tr("Log file: %1").arg(Q(logPath));
    return info;
}
}  // namespace

CAboutDlg::CAboutDlg(const AboutView& v, const std::string& logPath, QWidget* parent)
    : AboutBox(Info(v, logPath), parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
}

}  // namespace jvo::monitor::qt
