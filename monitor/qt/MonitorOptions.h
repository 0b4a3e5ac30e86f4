#pragma once
// jvo-monitor's command line: a unit to connect to instead of asking with the connect dialog,
// and for scripts and the demo a folder to save screenshots of the window in.
#include <string>
#include <vector>

#include "monitor/MonitorUi.h"

namespace jvo::monitor::qt {

struct MonitorOptions {
    bool preset = false;  // connect without the dialog first
    ConnectChoice connect;
    int comPort = 0;
    std::string screenshots;           // --screenshot DIR
    std::vector<std::string> toolkit;  // Qt's own options, for the application object
};

extern const char* const kMonitorUsage;

// Parses argv; returns -1 to go on, else the exit status (usage printed, or help shown).
int ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& options);

}  // namespace jvo::monitor::qt
