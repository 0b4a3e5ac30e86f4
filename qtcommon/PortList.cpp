// Port list entries with their devices.
#include "qtcommon/PortList.h"

#include <QComboBox>

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

}  // namespace jvo::qt
