#pragma once
// RecordDlg: File > Record...: the file to append the readings to (Browse... opens the save
// dialog in the last folder used), the interval in seconds and whether to start a new file every
// hour or every day. "Start" hands the settings to the main window, which runs the recording.
#include <QDialog>

#include "monitor/RecordControl.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace jvo::monitor::qt {

class RecordDlg final : public QDialog {
    Q_OBJECT
public:
    RecordDlg(const RecordSettings& last, QWidget* parent);

    RecordSettings Settings() const;
    QLineEdit* Path() const { return m_Path; }
    QSpinBox* Interval() const { return m_Interval; }
    QComboBox* Split() const { return m_Split; }

    void OnBrowse();

private:
    QLineEdit* m_Path;
    QSpinBox* m_Interval;
    QComboBox* m_Split;
};

}  // namespace jvo::monitor::qt
