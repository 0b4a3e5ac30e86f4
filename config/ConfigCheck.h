#pragma once
// Consistency check of a configuration: the hardware description (boards, channels) against the
// breakers, subfeeds and main feeds that use it. Findings are lines of text ending in "\r\n" in
// two lists: minor errors, which the check can correct by itself, and serious errors, which need
// manual correction. An empty list reads "None.\r\n".
#include <string>

#include "config/UnitConfig.h"

namespace jvo {

enum CheckResult : int {
    CHECK_CORRECTED = 1,  // at least one correction was applied (correcting mode only)
    CHECK_MINOR = 2,      // at least one minor error was found
    CHECK_SERIOUS = 4,    // at least one serious error was found
};

// Runs the eight check stages. With `correct` false the configuration is left alone; with it
// true every minor finding is corrected in place as soon as it is found, so later checks see the
// correction (a correcting run can therefore report serious errors that a report-only run did
// not reach). `minor` and `serious`, when given, receive the two lists. Returns CheckResult bits.
int ConfigCheck(UnitConfig& config, bool correct, std::string* minor, std::string* serious);

}  // namespace jvo
