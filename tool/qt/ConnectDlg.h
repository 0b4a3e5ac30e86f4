#pragma once
// The connect dialog ("Connect..."): the COM ports that can be opened, each shown with its device,
// "Connect" as the default button with the first port selected, and "Work Offline" with its note.
// Its logic is the core's ConnectDlgLogic, run by the worker: the dialog stays open and reports
// each button (NextAction); the worker decides whether it closes.
#include <QDialog>
#include <functional>
#include <vector>

#include "link/PortDirectory.h"

class QComboBox;

namespace jvo::tool::qt {

class ConnectDlg final : public QDialog {
    Q_OBJECT
public:
    enum Action { CANCEL, CONNECT, OFFLINE };

    ConnectDlg(const std::vector<QString>& labels, const std::vector<PortEntry>& entries,
               QWidget* parent);
    // Shows the dialog (if it is not shown yet) and calls `done` once with the next button the
    // user presses.
    void NextAction(std::function<void(int)> done);
    int SelectedIndex() const;

protected:
    void reject() override;

private:
    void Report(int action);

    QComboBox* m_Ports;
    std::function<void(int)> m_Done;
};

}  // namespace jvo::tool::qt
