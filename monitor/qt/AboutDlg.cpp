// The about box.
#include "monitor/qt/AboutDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "qtcommon/IconDraw.h"

namespace jvo::monitor::qt {

QIcon MonitorIcon() {
    return jvo::qt::MakeIcon(
        [](QPainter& p, const QRectF& r) { jvo::qt::DrawPanelIcon(p, r, QColor(40, 170, 60)); });
}

CAboutDlg::CAboutDlg(const AboutView& v, const std::string& logPath, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(tr("About Monitor"));
    auto Q = [](const std::string& s) { return QString::fromStdString(s); };

    auto* app = new QGroupBox(tr("Application Information"), this);
    auto* icon = new QLabel(app);
    icon->setPixmap(MonitorIcon().pixmap(QSize(32, 32)));
    auto* title = new QLabel(Q(v.m_Title), app);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* version = new QLabel(Q(v.m_Version), app);
    version->setObjectName(QStringLiteral("version"));
    auto* appText = new QVBoxLayout;
    appText->addWidget(title);
    appText->addWidget(version);
    auto* appRow = new QHBoxLayout(app);
    appRow->addWidget(icon, 0, Qt::AlignTop);
    appRow->addLayout(appText, 1);

    auto* target = new QGroupBox(tr("Target Information"), this);
    auto* form = new QFormLayout(target);
    const struct {
        const char* label;
        const std::string* text;
        const char* name;
    } rows[] = {{"Build No:", &v.m_FirmwareBuild, "firmwareBuild"},
                {"H/W Version:", &v.m_HardwareVersion, "hardwareVersion"},
                {"Config Schema:", &v.m_Schema, "schema"}};
    for (const auto& r : rows) {
        auto* value = new QLabel(Q(*r.text), target);
        value->setObjectName(QString::fromLatin1(r.name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(tr(r.label), value);
    }
    auto* log = new QLabel(tr("Log file: %1").arg(Q(logPath)), this);
    log->setTextInteractionFlags(Qt::TextSelectableByMouse);  // one line: a path is never broken

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(app);
    layout->addWidget(target);
    layout->addWidget(log);
    layout->addWidget(buttons);
    setMinimumWidth(std::max(340, layout->minimumSize().width()));  // the log path's line
}

}  // namespace jvo::monitor::qt
