// The breaker and subfeed configuration views.
#include "monitor/qt/ConfigViewDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "monitor/qt/QtMonitorUi.h"

namespace jvo::monitor::qt {

namespace {

const std::vector<ViewRow> kBreakerRows = {
    {"Panel Name:", {BV_PANEL_NAME}, ""},         {"Breaker Name:", {BV_NAME}, ""},
    {"Pole Position:", {BV_POSITION}, ""},        {"Pole Count:", {BV_POLES}, ""},
    {"CT Nos:", {BV_CT1, BV_CT2, BV_CT3}, ""},    {"Breaker Rating:", {BV_RATING}, "Amps"},
    {"Over-Current Alarm:", {BV_OC_ALARM}, "%"},  {"Over-Current Warning:", {BV_OC_WARNING}, "%"},
    {"Under-Current Alarm:", {BV_UC_ALARM}, "%"}, {"Hysteresis:", {BV_HYSTERESIS}, "Seconds"},
};

const std::vector<ViewRow> kSubfeedRows = {
    {"Subfeed Name:", {SV_NAME}, ""},
    {"CT Nos:", {SV_CT1, SV_CT2, SV_CT3, SV_CT4, SV_CT5, SV_CT6}, ""},
    {"Breaker Rating:", {SV_RATING}, "Amps"},
    {"Phase Over-Current Alarm:", {SV_OC_ALARM}, "%"},
    {"Phase Over-Current Warning:", {SV_OC_WARNING}, "%"},
    {"Neutral Over-Current Setpoint:", {SV_NEUTRAL_ALARM}, "%"},
    {"Ground Over-Current Setpoint:", {SV_GROUND_ALARM}, "Amps"},
};

}  // namespace

ConfigViewDlg::ConfigViewDlg(const QString& title, const QString& group,
                             const std::vector<ViewRow>& rows, const std::vector<ViewField>& fields,
                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* box = new QGroupBox(group, this);
    auto* grid = new QGridLayout(box);
    for (size_t r = 0; r < rows.size(); ++r) {
        const int row = static_cast<int>(r);
        grid->addWidget(new QLabel(tr(rows[r].label), box), row, 0, Qt::AlignRight);
        auto* line = new QHBoxLayout;
        const bool narrow = rows[r].ids.size() > 1 || rows[r].unit[0] != '\0';
        for (int id : rows[r].ids) {
            auto* f = new QLineEdit(box);
            f->setReadOnly(true);
            f->setObjectName(QStringLiteral("field%1").arg(id));
            if (narrow)
                f->setMaximumWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("00000")) +
                                   16);
            m_Fields[id] = f;
            m_Order.push_back(id);
            line->addWidget(f);
        }
        if (rows[r].unit[0]) line->addWidget(new QLabel(tr(rows[r].unit), box));
        if (narrow) line->addStretch(1);
        grid->addLayout(line, row, 1);
    }
    for (const ViewField& f : fields)
        if (QLineEdit* e = Field(f.m_Id)) e->setText(QString::fromStdString(f.m_Text));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(tr("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addWidget(buttons);
    ok->setDefault(true);
    ok->setFocus();
}

QLineEdit* ConfigViewDlg::Field(int id) const {
    const auto it = m_Fields.find(id);
    return it == m_Fields.end() ? nullptr : it->second;
}

std::vector<ViewField> ConfigViewDlg::ReadBack() const {
    std::vector<ViewField> out;
    for (int id : m_Order)
        out.push_back({id, Field(id)->text().toStdString()});
    return out;
}

BreakerConfigDlg::BreakerConfigDlg(const UnitConfig& config, int panel, int row, QWidget* parent)
    : ConfigViewDlg(QString::fromLatin1(kBreakerViewTitle), tr("Breaker Configuration"),
                    kBreakerRows, BreakerViewFields(config, panel, row), parent) {
    setObjectName(QStringLiteral("BreakerConfigDlg"));
}

void BreakerConfigDlg::accept() {
    int bad = 0;
    const std::string message = CheckBreakerViewFields(ReadBack(), &bad);
    if (message.empty()) {
        QDialog::accept();
        return;
    }
    ShowMessage(this, QString::fromStdString(message), MsgButtons::Ok, MsgIcon::Exclamation,
                [this, bad](MsgResult) {
                    if (QLineEdit* f = Field(bad)) f->setFocus();
                });
}

SubfeedConfigDlg::SubfeedConfigDlg(const UnitConfig& config, int panel, int row, QWidget* parent)
    : ConfigViewDlg(QString::fromLatin1(kSubfeedViewTitle), tr("Subfeed Configuration"),
                    kSubfeedRows, SubfeedViewFields(config, panel, row), parent) {
    setObjectName(QStringLiteral("SubfeedConfigDlg"));
}

}  // namespace jvo::monitor::qt
