#pragma once
// The connect dialog's logic: the list of COM ports that can be opened now, "Connect" with its
// check of the selection, and "Work Offline" with the checked load of a configuration file. A
// window renders the list and calls these; the dialog's messages and file chooser go through a
// DialogPort.
#include <functional>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "link/PortDirectory.h"
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

    // Without a probe function the port directory's probe is used.
    explicit ConnectDlgLogic(DialogPort& ui, ProbeFn probe = {});

    // Fills the list with COM 1..32 that can be opened, ascending, and selects the first entry.
    void Start();
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

private:
    DialogPort& m_Ui;
    ProbeFn m_Probe;
    std::vector<PortItem> m_Ports;
    int m_Selected = -1;
};

}  // namespace jvo::tool
