#pragma once
// The connect dialog ("Connect..."): the COM ports that can be opened, each shown with its device,
// "Connect" as the default button with the last port used (else the first) selected, and "Work
// Offline" with its note. Beside them: the recent routes with a button to connect to one again,
// and, where the system allows pins, "Pin as COM" for the selected adapter.
// Its logic is the core's ConnectDlgLogic, run by the worker: the dialog stays open and reports
// each button (NextAction); the worker decides whether it closes.
#include <QDialog>
#include <functional>
#include <vector>

#include "link/PortDirectory.h"

class QComboBox;
class QSpinBox;

namespace jvo::tool::qt {

class ConnectDlg final : public QDialog {
    Q_OBJECT
public:
    enum Action { CANCEL, CONNECT, OFFLINE, RECENT, PIN };

    ConnectDlg(const std::vector<QString>& labels, const std::vector<PortEntry>& entries,
               int selected, const std::vector<QString>& recent, QWidget* parent);
    // The port list again (after a pin), with entry `selected` selected.
    void SetPorts(const std::vector<QString>& labels, const std::vector<PortEntry>& entries,
                  int selected);
    // Shows the dialog (if it is not shown yet) and calls `done` once with the next button the
    // user presses.
    void NextAction(std::function<void(int)> done);
    int SelectedIndex() const;
    int RecentIndex() const;
    int PinNumber() const;

protected:
    void reject() override;

private:
    void Report(int action);

    QComboBox* m_Ports;
    QComboBox* m_Recent;
    QSpinBox* m_PinNumber = nullptr;
    std::function<void(int)> m_Done;
};

}  // namespace jvo::tool::qt
