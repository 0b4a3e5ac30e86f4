#pragma once
// Plain-text listing of a whole configuration (the monitor's "Dump > Configuration"): schema, unit
// record, both panels with their main feed, used breakers and used subfeeds, then all channels.
// Lines end in "\n"; a writer that wants CR LF converts them (as a text-mode file does).
#include <string>

#include "config/UnitConfig.h"

namespace jvo {

// Channel references are written plus 1, so CT_NONE appears as 128. Names are written as stored.
std::string ConfigDump(const UnitConfig& config);

}  // namespace jvo
