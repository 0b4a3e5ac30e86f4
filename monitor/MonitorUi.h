#pragma once
// MonitorUi: the monitor's user-interface port. The core reaches the user only through it: message
// boxes, the connect dialog and the window title. These are called on the command thread and
// block until the user has answered (a window implementation runs them on its UI thread and waits).
// Readings and state changes travel the other way through the NotifyQueue, without waiting.
#include <string>
#include <vector>

#include "base/MessageBox.h"
#include "link/PortDirectory.h"
#include "link/RecentRoutes.h"
#include "link/Tls.h"

namespace jvo::monitor {

using jvo::MsgButtons;
using jvo::MsgIcon;
using jvo::MsgResult;

using jvo::PortItem;

// Which control the connect dialog focuses when it opens again after a failure.
enum class ConnectFocus { Connect, PortList, ServerName };

// What the connect dialog shows: filled by ConnectDlgLogic, kept between its runs.
struct ConnectDlgState {
    std::vector<PortItem> m_Ports;
    int m_Selected = -1;      // index into m_Ports, -1 for none
    bool m_UseProxy = false;  // "VOZ Proxy" checked (else "COM Port")
    std::string m_Server;     // "Proxy Server Name"
    TlsFiles m_Tls;           // for a server given as tls://HOST[:PORT]
    ConnectFocus m_Focus = ConnectFocus::Connect;
    // The routes connected to before, the last one first (a window fills the fields from one);
    // whether the selected adapter can be pinned as another COM number.
    std::vector<Route> m_Recent;
    bool m_CanPin = false;
};

// What the user did in the connect dialog.
struct ConnectChoice {
    // PIN: pin the selected adapter (m_Selected) as COM m_PinNumber; the dialog stays.
    enum Kind { CANCELLED, CONNECT, PIN };
    Kind m_Kind = CANCELLED;
    bool m_UseProxy = false;
    int m_Selected = -1;   // index into the state's m_Ports, -1 for none
    std::string m_Server;  // the typed proxy server name ([tls://]host or host:PORT)
    TlsFiles m_Tls;        // the CA, certificate and key files for tls://
    std::string m_Device;  // a serial device path given directly (command line, tests)
    int m_PinNumber = 0;   // PIN
};

class MonitorUi {
public:
    virtual ~MonitorUi() = default;
    virtual MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon) = 0;
    // Runs the connect dialog ("Connect to JVO") with `state` until "Connect" or Cancel.
    virtual ConnectChoice RunConnectDialog(const ConnectDlgState& state) = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

}  // namespace jvo::monitor
