// Port list entries with their devices.
#include "qtcommon/PortList.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>

namespace jvo::qt {

QString PortLabel(const QString& comLabel, const PortEntry& entry) {
    QString label = comLabel;
    if (!entry.path.empty()) label += QStringLiteral("    ") + QString::fromStdString(entry.path);
    if (!entry.byId.empty())
        label += QStringLiteral(" (%1)").arg(QString::fromStdString(entry.byId));
    return label;
}

void FillPortCombo(QComboBox* box, const std::vector<QString>& comLabels,
                   const std::vector<PortEntry>& entries) {
    box->clear();
    for (size_t i = 0; i < entries.size() && i < comLabels.size(); ++i)
        box->addItem(PortLabel(comLabels[i], entries[i]), entries[i].number);
    box->setCurrentIndex(box->count() > 0 ? 0 : -1);
}

PinRow MakePinRow(QWidget* parent, const QString& buttonText) {
    PinRow row;
    row.layout = new QHBoxLayout;
    row.number = new QSpinBox(parent);
    row.number->setObjectName(QStringLiteral("pinNumber"));
    row.number->setRange(kMinComPort, kMaxComPort);
    row.number->setPrefix(QStringLiteral("COM"));
    row.button = new QPushButton(buttonText, parent);
    row.button->setObjectName(QStringLiteral("pin"));
    row.button->setAutoDefault(false);
    row.button->setToolTip(
        QObject::tr("Keep the selected adapter under this number in your own port folder"));
    row.layout->addWidget(row.number);
    row.layout->addWidget(row.button);
    row.layout->addStretch();
    return row;
}

}  // namespace jvo::qt
