#include "sim/Pacing.h"

namespace jvo::sim {

bool PaceUntil(PaceClock::time_point deadline, const SyncEvent* cancel) {
    const auto left = deadline - kPaceSpin - PaceClock::now();
    if (left > PaceClock::duration::zero() && WaitPrecise(cancel, left)) return true;
    while (PaceClock::now() < deadline) {
    }
    return cancel && cancel->IsSet();
}

}  // namespace jvo::sim
