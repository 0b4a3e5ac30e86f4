#include "sim/FaultPlan.h"

namespace jvo::sim {

FaultPlan::FaultPlan(const UnitFaults& faults) : m_Faults(faults), m_Random(faults.seed) {}

void FaultPlan::Set(const UnitFaults& faults) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (faults.seed != m_Faults.seed) m_Random.seed(faults.seed);
    m_Faults = faults;
}

UnitFaults FaultPlan::Get() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Faults;
}

bool FaultPlan::Handle(SimUnit& unit, const uint8_t* request, int32_t length,
                       std::vector<uint8_t>& reply, uint32_t& delayMs) {
    delayMs = 0;
    bool refuse = false;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Faults.silent) return false;
        refuse = length > 0 && m_Faults.refuseCommand == request[0];
        if (m_Faults.lateFraction > 0 && m_Faults.lateMs > 0 &&
            std::uniform_real_distribution<double>(0.0, 1.0)(m_Random) < m_Faults.lateFraction)
            delayMs = m_Faults.lateMs;
    }
    return unit.Handle(request, length, reply, refuse);
}

}  // namespace jvo::sim
