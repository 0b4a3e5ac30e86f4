// Time on POSIX: the timers are fine already; calendar times through the reentrant calls.
#include <time.h>

#include "base/Clock.h"

namespace jvo {

void HoldFinestTimerPeriod() {}

bool ToLocalTime(std::time_t t, std::tm& out) {
    return ::localtime_r(&t, &out) != nullptr;
}

bool ToUtcTime(std::time_t t, std::tm& out) {
    return ::gmtime_r(&t, &out) != nullptr;
}

}  // namespace jvo
