// The "Add Subfeed" dialog's controls.
#include "tool/qt/AddSubfeedDlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace jvo::tool::qt {

AddSubfeedDlg::AddSubfeedDlg(const SubfeedDlgTexts& texts, uint16_t enableMask, int candidate,
                             int size, QWidget* parent)
    : QDialog(parent), m_Candidates(new QButtonGroup(this)), m_Sizes(new QButtonGroup(this)) {
    setObjectName(QStringLiteral("AddSubfeedDlg"));
    setWindowTitle(texts.title);
    setWindowModality(Qt::ApplicationModal);
    auto* select = new QGroupBox(texts.selectGroup, this);
    auto* grid = new QGridLayout(select);
    for (int i = 0; i < texts.candidates.size(); ++i) {
        auto* r = new QRadioButton(texts.candidates[i], select);
        r->setEnabled((enableMask >> i) & 1);
        m_Candidates->addButton(r, i);
        grid->addWidget(r, i % 8, i / 8);
    }
    auto* sizes = new QGroupBox(texts.sizeGroup, this);
    auto* v = new QVBoxLayout(sizes);
    for (int i = 0; i < texts.sizes.size(); ++i) {
        auto* r = new QRadioButton(texts.sizes[i], sizes);
        m_Sizes->addButton(r, i);
        v->addWidget(r);
    }
    v->addStretch();
    if (auto* b = m_Candidates->button(candidate)) b->setChecked(true);
    if (auto* b = m_Sizes->button(size)) b->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(texts.ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(texts.cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(select, 2);
    row->addWidget(sizes, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

int AddSubfeedDlg::Candidate() const {
    return m_Candidates->checkedId();
}
int AddSubfeedDlg::Size() const {
    return m_Sizes->checkedId();
}

}  // namespace jvo::tool::qt
