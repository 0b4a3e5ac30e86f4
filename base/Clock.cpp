#include "base/Clock.h"

#include <chrono>

namespace jvo {

uint64_t SystemClock::NowMs() const {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

SystemClock& SystemClock::Instance() {
    HoldFinestTimerPeriod();
    static SystemClock clock;
    return clock;
}

uint32_t TickMs() {
    static const uint64_t start = SystemClock::Instance().NowMs();
    return static_cast<uint32_t>(SystemClock::Instance().NowMs() - start);
}

}  // namespace jvo
