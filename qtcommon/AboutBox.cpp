// The about box.
#include "qtcommon/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace jvo::qt {

AboutBox::AboutBox(const AboutInfo& info, QWidget* parent) : QDialog(parent) {
    setWindowTitle(info.title);
    auto* icon = new QLabel(this);
    icon->setPixmap(info.icon.pixmap(QSize(48, 48)));
    icon->setAlignment(Qt::AlignTop);
    auto* version = new QLabel(info.versionLine, this);
    version->setObjectName(QStringLiteral("version"));
    QFont bold = version->font();
    bold.setBold(true);
    version->setFont(bold);
    auto* text = new QVBoxLayout;
    text->addWidget(version);
    for (const QString& line : info.lines) {
        auto* l = new QLabel(line, this);
        // Not wrapped: a path broken mid-name reads as two names; the box widens instead.
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->addWidget(l);
    }
    text->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addLayout(text, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    // Never narrower than its lines: an explicit minimum replaces the layout's own.
    setMinimumWidth(std::max(360, layout->minimumSize().width()));
}

}  // namespace jvo::qt
