#pragma once
// Names as the monitor shows them: in the unit name, each panel name and the names of each
// panel's used breakers and subfeeds, every "." becomes a blank and trailing white space goes.
#include <string>

#include "config/UnitConfig.h"

namespace jvo {

std::string CleanName(std::string name);
// Cleans the names of a configuration just loaded; cleaning twice changes nothing more.
void CleanNames(UnitConfig& config);

// The "Unit:" field: one blank, then the unit name.
std::string UnitFieldText(const UnitConfig& config);

}  // namespace jvo
