#include "tool/qt/CompareDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace jvo::tool::qt {

CompareDlg::CompareDlg(const QString& title, const QString& heading, const QStringList& lines,
                       bool offerInstall, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CompareDlg"));
    setWindowTitle(title);
    setWindowModality(Qt::ApplicationModal);
    auto* label = new QLabel(heading, this);
    label->setObjectName(QStringLiteral("heading"));
    label->setWordWrap(true);
    auto* list = new QListWidget(this);
    list->setObjectName(QStringLiteral("differences"));
    list->addItems(lines);
    list->setVisible(!lines.isEmpty());
    list->setMinimumWidth(fontMetrics().averageCharWidth() * 90);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    if (offerInstall) {
        QPushButton* install =
            buttons->addButton(tr("&Install to Unit"), QDialogButtonBox::AcceptRole);
        install->setObjectName(QStringLiteral("install"));
    }
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
}

}  // namespace jvo::tool::qt
