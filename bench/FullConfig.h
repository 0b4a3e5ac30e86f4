#pragma once
#include "config/UnitConfig.h"

namespace jvo::bench {

// Every table entry in use: the demo cabinet with both panels filled to 42 breakers and 16
// subfeeds, so that a whole configuration is 237 records. (Channels are shared between entries;
// only the sizes of the records matter here.)
UnitConfig FullConfig();

}  // namespace jvo::bench
