#pragma once
// The COM port list of the connect dialogs: each port's number with the device it stands for, so
// that "COM3" can be told apart from "COM4" by what is plugged in. The numbers come from the port
// directory (link/PortDirectory.h).
#include <QString>
#include <vector>

#include "link/PortDirectory.h"

class QComboBox;
class QHBoxLayout;
class QPushButton;
class QSpinBox;
class QWidget;

namespace jvo::qt {

// "COM3    /dev/ttyUSB0 (usb-FTDI_...)": the number, then the device and its by-id name when
// it has one. `comLabel` is the number's own text ("COM3").
QString PortLabel(const QString& comLabel, const PortEntry& entry);

// Fills `box` with one entry per port, the port number as the entry's data, and selects the first
// entry (none when the list is empty). `comLabels[i]` names entries[i].
void FillPortCombo(QComboBox* box, const std::vector<QString>& comLabels,
                   const std::vector<PortEntry>& entries);

// The row that pins the selected adapter as COM n in the user's port directory: the number
// (1..32) and the button, whose text carries the mnemonic that is free in its dialog.
struct PinRow {
    QHBoxLayout* layout = nullptr;
    QSpinBox* number = nullptr;
    QPushButton* button = nullptr;
};
PinRow MakePinRow(QWidget* parent, const QString& buttonText);

}  // namespace jvo::qt
