#pragma once
// Faults of the unit itself, the same on every transport: it answers late, goes silent, or
// refuses one command. A transport runs each request through its FaultPlan instead of calling the
// unit directly, and holds a reply back for the delay the plan gives. Line faults that only a
// serial line can have (lost, damaged, stale or foreign frames) stay with the serial transport.
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sim/SimUnit.h"

namespace jvo::sim {

struct UnitFaults {
    double lateFraction = 0;  // this fraction of replies is held back lateMs
    uint32_t lateMs = 0;
    bool silent = false;     // nothing is answered (the requests are not carried out)
    int refuseCommand = -1;  // this command code is refused ('n') and not carried out
    uint32_t seed = 1;       // for the choice of late replies
};

class FaultPlan {
public:
    explicit FaultPlan(const UnitFaults& faults = {});

    void Set(const UnitFaults& faults);
    UnitFaults Get() const;

    // Runs one request payload through `unit` with the faults applied. False when no reply goes
    // out (silent, or the unit is restarting); else `reply` holds the reply payload and `delayMs`
    // how long the transport is to hold it back.
    bool Handle(SimUnit& unit, const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                uint32_t& delayMs);

private:
    mutable std::mutex m_Lock;
    UnitFaults m_Faults;
    std::mt19937 m_Random;
};

}  // namespace jvo::sim
