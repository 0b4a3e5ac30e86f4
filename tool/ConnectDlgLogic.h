#pragma once
// The connect dialog's logic: the list of COM ports that can be opened now, "Connect" with its
// check of the selection, and "Work Offline" with the checked load of a configuration file. A
// window renders the list and calls these; the dialog's messages and file chooser go through a
// DialogPort. Beside them: the recent routes (the last COM port used is selected first, and any
// recent route can be connected again) and, where the system allows it, pinning a listed
// adapter as another COM number.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "link/PortDirectory.h"
#include "link/RecentRoutes.h"
#include "tool/ToolUi.h"

namespace jvo::tool {

class ConnectDlgLogic {
public:
    // The ports that can be opened exclusively right now.
    using ProbeFn = std::function<std::vector<PortEntry>()>;

    using PortItem = jvo::PortItem;

    enum class Outcome {
        STAY,     // the dialog stays open
        CONNECT,  // closed by "Connect": m_ComPort holds the port
        OFFLINE,  // closed by "Work Offline": m_OfflineConfig holds the checked configuration
    };

    // Without a probe function the port directory's probe is used; without a store there are no
    // recent routes.
    explicit ConnectDlgLogic(DialogPort& ui, ProbeFn probe = {}, RouteStore* routes = nullptr);

    // Fills the list with COM 1..32 that can be opened, ascending, and selects the last COM port
    // used when it is listed, else the first entry. Reads the recent routes.
    void Start();
    // The recent routes, the last one used first, and a press of "Connect" for one of them.
    const std::vector<Route>& Recent() const { return m_Recent.List(); }
    Outcome OnConnectRecent(int index);
    // The selected port's device (its entry from the probe); a null entry when none is selected.
    PortEntry SelectedEntry() const;
    // Pins the selected adapter as COM `comNumber` and tells the user what the pin points at, or
    // why it cannot be made. On success the list is read again with the new number selected.
    bool OnPin(int comNumber);
    // Where pins are made (the port directory's own by default).
    void SetPortRoots(const PortRoots& roots) { m_Roots = roots; }
    const std::vector<PortItem>& Ports() const { return m_Ports; }
    // The selected list entry, -1 for none.
    int Selected() const { return m_Selected; }
    void Select(int index) {
        m_Selected = index >= 0 && index < static_cast<int>(m_Ports.size()) ? index : -1;
    }

    Outcome OnConnect();
    Outcome OnWorkOffline();
    // What the dialog gives the controller for an outcome (CANCELLED for STAY).
    ConnectResult Result(Outcome outcome) const;

    int m_ComPort = 0;
    bool m_WorkOffline = false;
    UnitConfig m_OfflineConfig;
    std::string m_OfflineFileName;

private:
    DialogPort& m_Ui;
    ProbeFn m_Probe;
    RouteStore* m_Store;
    RecentRoutes m_Recent;
    PortRoots m_Roots = PortRoots::Default();
    std::vector<PortEntry> m_Entries;  // the probe's entries of the listed ports
    std::optional<Route> m_Chosen;     // CONNECT from a recent route
    std::vector<PortItem> m_Ports;
    int m_Selected = -1;
};

}  // namespace jvo::tool
