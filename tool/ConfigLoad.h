#pragma once
// The checks every configuration goes through before the tool takes it over, shared by the
// extract from a unit, Load from File and the connect dialog's offline load.
#include <string>

#include "config/UnitConfig.h"
#include "tool/ToolUi.h"

namespace jvo::tool {

enum class CheckOutcome {
    ACCEPTED,  // no findings, or minor findings corrected on request without serious errors
    SERIOUS,   // serious errors (possibly revealed by the correcting run); `serious` holds them
    DECLINED,  // minor errors and the user did not agree to correct them
};

// Checks `config` in report mode. Serious errors end the check. Minor errors ask the minor-errors
// question; on Yes the configuration is corrected, and when the correcting run finds serious
// errors (a correction can lead later stages to them) the outcome is SERIOUS with that run's
// list. No message is shown for SERIOUS or DECLINED: the callers word those themselves.
CheckOutcome CheckConfigForTakeOver(DialogPort& ui, UnitConfig& config, std::string& serious);

// Reads the configuration file `file` into `out` and checks it with CheckConfigForTakeOver,
// showing the file texts for every failure ("Could not open configuration file: %s", "Failed to
// load configuration from: %s", the serious-errors-file message, "The configuration file  '%s'
// has not been loaded."). True when `out` may be taken over. On false `out` holds what the
// failed step left in it.
bool LoadCheckedConfigFile(DialogPort& ui, const FileChoice& file, UnitConfig& out);

// The bare file name of a path (what follows the last '/').
std::string BareFileName(const std::string& path);

}  // namespace jvo::tool
