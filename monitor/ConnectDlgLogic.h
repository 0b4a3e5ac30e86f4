#pragma once
// The monitor's connect dialog ("Connect to JVO"): "COM Port" with the list of COM ports that can
// be opened now, or "VOZ Proxy" with a server name. "Connect" opens the link; a COM port must then
// answer one of three GetStatus probes. Every failure is told to the user and the dialog stays.
// The dialog opens on the last route connected to (the port when it is listed, or the proxy with
// its TLS files) and offers the recent routes; a listed adapter can be pinned as another number.
#include <functional>
#include <vector>

#include "link/PortDirectory.h"
#include "link/RecentRoutes.h"
#include "link/UnitLink.h"
#include "monitor/MonitorUi.h"

namespace jvo::monitor {

class ConnectDlgLogic {
public:
    using ProbeFn = std::function<std::vector<PortEntry>()>;

    // Without a probe function the port directory's probe is used; without a store no routes
    // are remembered.
    ConnectDlgLogic(MonitorUi& ui, UnitLink& link, ProbeFn probe = {},
                    RouteStore* routes = nullptr);

    // The dialog opening: "COM Port" checked, the ports that open now listed (1..32 ascending)
    // with the first selected, the focus on "Connect".
    void Start();
    const ConnectDlgState& State() const { return m_State; }

    // One press of "Connect": true when the link is open (and a serial unit answered); the route
    // then goes first in the recent routes.
    bool OnConnect(const ConnectChoice& choice);
    // Pins the adapter of list entry `selected` as COM `comNumber` and tells the user what the
    // pin points at, or why not; the list is read again with the new number selected.
    bool OnPin(int selected, int comNumber);
    // Where pins are made (the port directory's own by default).
    void SetPortRoots(const PortRoots& roots) { m_Roots = roots; }
    // Runs the dialog (Start, then the user's choices) until connected (true) or cancelled.
    bool Run();

private:
    void Remember(const Route& route);

    MonitorUi& m_Ui;
    UnitLink& m_Link;
    ProbeFn m_Probe;
    RouteStore* m_Store;
    PortRoots m_Roots = PortRoots::Default();
    std::vector<PortEntry> m_Entries;  // the probe's entries of the listed ports
    ConnectDlgState m_State;
};

}  // namespace jvo::monitor
