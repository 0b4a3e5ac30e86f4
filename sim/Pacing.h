#pragma once
// Pacing the simulated unit like a real line without oversleeping: a plain sleep ends up to the
// thread's timer slack (50 us by default) plus the wake-up latency late, which would show as
// the programs' own delay in every measurement against the wire time. PaceUntil sleeps as exactly
// as the platform can (WaitPrecise) until shortly before the deadline and spins the rest.
#include <chrono>

#include "base/SyncEvent.h"

namespace jvo::sim {

using PaceClock = std::chrono::steady_clock;

// What is spun at the end of each pause, at most.
constexpr std::chrono::microseconds kPaceSpin{60};

// Waits until `deadline`; true when `cancel` (may be null) was set first, which ends the wait at
// once.
bool PaceUntil(PaceClock::time_point deadline, const SyncEvent* cancel);

}  // namespace jvo::sim
