// The about box.
#include "qtcommon/AboutBox.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace jvo::qt {

namespace {

QLabel* Bold(QLabel* label) {
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel* Selectable(QLabel* label) {
    // Not wrapped: a path broken mid-name reads as two names; the box widens instead.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

AboutBox::AboutBox(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
    setWindowTitle(info.title);
    const bool grouped = !info.appGroup.isEmpty();
    QWidget* appParent = grouped ? new QGroupBox(info.appGroup, this) : static_cast<QWidget*>(this);
    auto* icon = new QLabel(appParent);
    icon->setPixmap(info.icon.pixmap(QSize(48, 48)));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QVBoxLayout;
    if (!info.heading.isEmpty()) text->addWidget(Bold(new QLabel(info.heading, appParent)));
    auto* version = new QLabel(info.versionLine, appParent);
    version->setObjectName(QStringLiteral("version"));
    text->addWidget(info.heading.isEmpty() ? Bold(version) : version);
    auto* layout = new QVBoxLayout(this);
    auto* row = grouped ? new QHBoxLayout(appParent) : new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(text, 1);
    if (grouped)
        layout->addWidget(appParent);
    else
        layout->addLayout(row);
    if (!info.rows.empty()) {
        auto* group = new QGroupBox(info.rowsGroup, this);
        auto* form = new QFormLayout(group);
        for (const AboutRow& r : info.rows) {
            auto* value = Selectable(new QLabel(r.value, group));
            value->setObjectName(r.name);
            form->addRow(r.label, value);
        }
        layout->addWidget(group);
    }
    // Without groups the lines continue the text beside the icon.
    QVBoxLayout* lines = grouped ? layout : text;
    for (const QString& line : info.lines)
        lines->addWidget(Selectable(new QLabel(line, this)));
    if (!grouped) text->addStretch();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    // Never narrower than its lines: an explicit minimum replaces the layout's own.
    setMinimumWidth(std::max(360, layout->minimumSize().width()));
}

}  // namespace jvo::qt
