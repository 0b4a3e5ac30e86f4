#pragma once
// What differs between two configurations, in plain words: one line per unit, panel, main feed,
// breaker, subfeed or channel that differs, naming each field with its value before and after
// ("Panel A, breaker at position 5 \"Lights\": rating 20 -> 30"). Only the used entries count:
// what lies beyond a panel's counts is no part of the configuration. Breakers are matched by
// their position and subfeeds by placement and position, whatever order the tables hold them
// in, so a breaker only one side has is "added" or "removed". Passwords are said to differ,
// never shown.
#include <string>
#include <vector>

#include "config/UnitConfig.h"

namespace jvo {

// The differences from `before` to `after`; empty when they are the same configuration.
std::vector<std::string> DiffConfigs(const UnitConfig& before, const UnitConfig& after);

}  // namespace jvo
