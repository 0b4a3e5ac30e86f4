#pragma once
// Configurations the simulated unit starts from.
#include "config/UnitConfig.h"

namespace jvo::sim {

// A realistic cabinet: both panels installed (A odd/even, B sequential), a dozen and more breakers
// of one to three poles per panel with sensible names and ratings, a subfeed on each panel. It
// passes the configuration check without findings.
UnitConfig MakeDemoConfig();

// What ResetToDefaults installs: both panels installed with valid main feeds and no breakers or
// subfeeds; the configuration check finds nothing serious in it.
UnitConfig MakeFactoryConfig();

}  // namespace jvo::sim
