// Time on Windows: the timer's period for the life of the process; calendar times.
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

#include "base/Clock.h"

namespace jvo {

namespace {

// Holds the finest timer period of at least 1 ms from the first use until the process ends, so
// that waits of a few milliseconds last a few milliseconds, not a scheduler tick of 15.6 ms.
class TimerPeriod {
public:
    TimerPeriod() {
        TIMECAPS caps{};
        if (timeGetDevCaps(&caps, sizeof caps) != MMSYSERR_NOERROR) return;
        UINT period = caps.wPeriodMin < 1 ? 1 : caps.wPeriodMin;
        if (period > caps.wPeriodMax) period = caps.wPeriodMax;
        if (timeBeginPeriod(period) == TIMERR_NOERROR) m_Period = period;
    }
    ~TimerPeriod() {
        if (m_Period != 0) timeEndPeriod(m_Period);
    }

private:
    UINT m_Period = 0;
};

}  // namespace

void HoldFinestTimerPeriod() {
    static TimerPeriod period;
}

bool ToLocalTime(std::time_t t, std::tm& out) {
    return localtime_s(&out, &t) == 0;
}

bool ToUtcTime(std::time_t t, std::tm& out) {
    return gmtime_s(&out, &t) == 0;
}

}  // namespace jvo
