#pragma once
// jvo-config's command line: a unit or a file to start with instead of the connect dialog, and
// for scripts a screenshot of the window once the start-up has finished.
#include <string>
#include <vector>

#include "tool/ToolUi.h"
#include "tool/WindowLayout.h"

namespace jvo::tool::qt {

struct ToolOptions {
    ConnectResult connect;    // CANCELLED: ask with the connect dialog
    std::string offlineFile;  // --offline
    std::string screenshot;   // --screenshot: save the window to this PNG file and exit
    bool layoutGiven = false;
    WindowLayout layout = WindowLayout::LARGE;
    bool help = false;
    std::vector<std::string> toolkit;  // Qt's own options, for the application object
};

extern const char* const kToolUsage;

// Parses argv; returns -1 to go on, else the exit status (usage printed, or help shown).
int ParseToolOptions(int argc, const char* const* argv, ToolOptions& options);

}  // namespace jvo::tool::qt
