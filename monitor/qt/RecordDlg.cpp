// The record dialog.
#include "monitor/qt/RecordDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "qtcommon/SaveFileDialog.h"

namespace jvo::monitor::qt {

RecordDlg::RecordDlg(const RecordSettings& last, QWidget* parent)
    : QDialog(parent),
      m_Path(new QLineEdit(QString::fromStdString(last.m_Path), this)),
      m_Interval(new QSpinBox(this)),
      m_Split(new QComboBox(this)) {
    setObjectName(QStringLiteral("recordDlg"));
    setWindowTitle(tr("Record Readings"));
    m_Path->setObjectName(QStringLiteral("recordPath"));
    m_Path->setMinimumWidth(320);
    auto* browse = new QPushButton(tr("&Browse..."), this);
    browse->setAutoDefault(false);
    auto* file = new QHBoxLayout;
    file->addWidget(m_Path, 1);
    file->addWidget(browse);
    m_Interval->setRange(1, RecordControl::kMaxIntervalS);
    m_Interval->setSuffix(tr(" s"));
    m_Interval->setValue(last.m_IntervalS);
    m_Split->addItem(tr("One file"), static_cast<int>(RecordSplit::None));
    m_Split->addItem(tr("A file per hour"), static_cast<int>(RecordSplit::Hourly));
    m_Split->addItem(tr("A file per day"), static_cast<int>(RecordSplit::Daily));
    m_Split->setCurrentIndex(m_Split->findData(static_cast<int>(last.m_Split)));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* start = buttons->addButton(tr("&Start"), QDialogButtonBox::AcceptRole);
    start->setObjectName(QStringLiteral("recordStart"));
    start->setEnabled(!m_Path->text().isEmpty());
    auto* form = new QFormLayout(this);
    form->addRow(tr("File:"), file);
    form->addRow(tr("Every:"), m_Interval);
    form->addRow(tr("Files:"), m_Split);
    form->addRow(buttons);

    connect(browse, &QPushButton::clicked, this, &RecordDlg::OnBrowse);
    connect(m_Path, &QLineEdit::textChanged, start,
            [start](const QString& text) { start->setEnabled(!text.trimmed().isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

RecordSettings RecordDlg::Settings() const {
    RecordSettings s;
    s.m_Path = m_Path->text().trimmed().toStdString();
    s.m_IntervalS = m_Interval->value();
    s.m_Split = static_cast<RecordSplit>(m_Split->currentData().toInt());
    return s;
}

void RecordDlg::OnBrowse() {
    // A record is appended to a file that exists, never replaces it: nothing to ask.
    const jvo::qt::SaveFileRequest request{
        QStringLiteral("recordFile"),
        tr("Readings Record (*.csv)"),
        QStringLiteral("csv"),
        m_Path->text().isEmpty() ? QStringLiteral("record.csv") : m_Path->text(),
        windowTitle(),
        false};
    jvo::qt::ChooseSaveFile(this, request, [this](const QString& chosen) {
        if (!chosen.isEmpty()) m_Path->setText(chosen);
    });
}

}  // namespace jvo::monitor::qt
