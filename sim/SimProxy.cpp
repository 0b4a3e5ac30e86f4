#include "sim/SimProxy.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "link/Commands.h"
#include "sim/Pacing.h"
#include "sim/SimSerial.h"

namespace jvo::sim {

SimUnitBackend::SimUnitBackend(SimUnit& unit, const UnitFaults& faults, int baud)
    : m_Unit(unit), m_Plan(faults), m_Baud(baud) {}

bool SimUnitBackend::Pause(int64_t ms) {
    if (ms <= 0) return m_Cancel.IsSet();
    return m_Cancel.Wait(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX)));
}

bool SimUnitBackend::AnswersAtOnce() const {
    if (m_Baud > 0 || m_Cancelled) return false;
    const UnitFaults faults = m_Plan.Get();
    return !faults.silent && (faults.lateFraction <= 0 || faults.lateMs == 0) &&
           !m_Unit.Restarting();
}

bool SimUnitBackend::Transact(uint8_t address, const uint8_t* request, int32_t length,
                              std::vector<uint8_t>& reply, int32_t timeoutMs) {
    const auto start = PaceClock::now();
    ++m_Transactions;
    reply.clear();
    if (m_Cancelled) return false;
    uint32_t delayMs = 0;
    // A unit at another address never answers; neither does a silent or restarting one.
    if (!m_Unit.Accepts(address) || !m_Plan.Handle(m_Unit, request, length, reply, delayMs)) {
        reply.clear();
        Pause(timeoutMs);
        return false;
    }
    int64_t delayUs = int64_t{delayMs} * 1000;
    if (m_Baud > 0) {
        // Both frames as the serial line would carry them (header included).
        std::vector<uint8_t> body{address, kHostAddress, 0, kProtocolByte};
        body.insert(body.end(), request, request + std::max(length, 0));
        int64_t bytes = FrameWireBytes(body.data(), body.size());
        body.assign({kHostAddress, address, 0, kProtocolByte});
        body.insert(body.end(), reply.begin(), reply.end());
        bytes += FrameWireBytes(body.data(), body.size());
        delayUs += WireMicros(bytes, m_Baud);
    }
    if (delayUs >= int64_t{timeoutMs} * 1000) {
        // Too late: the reply would come after the time-out and be thrown away.
        reply.clear();
        Pause(timeoutMs);
        return false;
    }
    // To the microsecond: whole milliseconds would round short waits away.
    if (delayUs > 0 && PaceUntil(start + std::chrono::microseconds(delayUs), &m_Cancel))
        return false;
    return !m_Cancelled;
}

}  // namespace jvo::sim
