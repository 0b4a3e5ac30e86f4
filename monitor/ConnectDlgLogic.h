#pragma once
// The monitor's connect dialog ("Connect to JVO"): "COM Port" with the list of COM ports that can
// be opened now, or "VOZ Proxy" with a server name. "Connect" opens the link; a COM port must then
// answer one of three GetStatus probes. Every failure is told to the user and the dialog stays.
#include <functional>
#include <vector>

#include "link/PortDirectory.h"
#include "link/UnitLink.h"
#include "monitor/MonitorUi.h"

namespace jvo::monitor {

class ConnectDlgLogic {
public:
    using ProbeFn = std::function<std::vector<PortEntry>()>;

    // Without a probe function the port directory's probe is used.
    ConnectDlgLogic(MonitorUi& ui, UnitLink& link, ProbeFn probe = {});

    // The dialog opening: "COM Port" checked, the ports that open now listed (1..32 ascending)
    // with the first selected, the focus on "Connect".
    void Start();
    const ConnectDlgState& State() const { return m_State; }

    // One press of "Connect": true when the link is open (and a serial unit answered).
    bool OnConnect(const ConnectChoice& choice);
    // Runs the dialog (Start, then the user's choices) until connected (true) or cancelled.
    bool Run();

private:
    MonitorUi& m_Ui;
    UnitLink& m_Link;
    ProbeFn m_Probe;
    ConnectDlgState m_State;
};

}  // namespace jvo::monitor
