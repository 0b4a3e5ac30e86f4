#pragma once
// The connect dialog ("Connect to JVO"): "COM Port" with the ports that open now, each shown with
// its device beside its number, or "VOZ Proxy" with the "Proxy Server Name" (and, for a server
// given as tls://HOST[:PORT], the CA, certificate and key files). "Connect" is the
// default button. Above them the recent routes: choosing one fills the fields. Below the port
// list, where pins are possible, "Pin Adapter" for the selected port. The core's ConnectDlgLogic
// decides what a press does: the dialog reports each press (NextAction) and stays open, showing
// that it is connecting, until the window closes it.
#include <QDialog>
#include <functional>
#include <vector>

#include "monitor/MonitorUi.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace jvo::monitor::qt {

class ConnectDlg final : public QDialog {
    Q_OBJECT
public:
    ConnectDlg(const ConnectDlgState& state, QWidget* parent);

    // Takes the state again (the focus after a failure), shows the dialog and calls `done` once
    // with the next choice: CONNECT with the fields, or CANCELLED.
    void NextAction(const ConnectDlgState& state, std::function<void(ConnectChoice)> done);

    QComboBox* Ports() const { return m_Ports; }
    QLineEdit* Server() const { return m_Server; }
    QLineEdit* TlsCa() const { return m_TlsCa; }
    QLineEdit* TlsCert() const { return m_TlsCert; }
    QLineEdit* TlsKey() const { return m_TlsKey; }
    QRadioButton* ComRadio() const { return m_Com; }
    QRadioButton* ProxyRadio() const { return m_Proxy; }
    QPushButton* ConnectButton() const { return m_Connect; }
    QComboBox* Recent() const { return m_Recent; }

protected:
    void reject() override;

private:
    void OnRouteChanged();
    void OnConnect();
    void OnPin();
    // The fields of state.m_Recent[index].
    void FillFromRecent(int index);
    void ShowPorts(const ConnectDlgState& state);
    void SetWaiting(bool waiting);

    QRadioButton* m_Com;
    QRadioButton* m_Proxy;
    QComboBox* m_Ports;
    QLineEdit* m_Server;
    QLineEdit* m_TlsCa;
    QLineEdit* m_TlsCert;
    QLineEdit* m_TlsKey;
    QPushButton* m_Connect;
    QPushButton* m_Cancel;
    QLabel* m_Status;
    QComboBox* m_Recent;
    QSpinBox* m_PinNumber = nullptr;
    QPushButton* m_Pin = nullptr;
    std::vector<Route> m_Routes;  // the routes of m_Recent's entries
    std::function<void(ConnectChoice)> m_Done;
};

}  // namespace jvo::monitor::qt
