#pragma once
// Serves a simulated unit to the proxy server in-process: the server's unit backend calls the
// unit directly instead of going over a serial line. The unit's own faults (late, silent,
// refused command) apply as on the serial transport; a reply later than the server's time-out,
// or none at all, makes the transaction fail after that time-out, as a real unit behind a proxy
// would. Replies can be paced at a baud rate like the serial line they stand for.
#include <atomic>
#include <cstdint>
#include <vector>

#include "base/SyncEvent.h"
#include "proxy/UnitBackend.h"
#include "sim/FaultPlan.h"
#include "sim/SimUnit.h"

namespace jvo::sim {

class SimUnitBackend final : public IUnitBackend {
public:
    explicit SimUnitBackend(SimUnit& unit, const UnitFaults& faults = {}, int baud = 0);

    bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                  std::vector<uint8_t>& reply, int32_t timeoutMs) override;

    // Unpaced, without late or silent faults and not restarting: the reply is computed at once.
    bool AnswersAtOnce() const override;

    void SetFaults(const UnitFaults& faults) { m_Plan.Set(faults); }
    // Cuts every wait short, now and from then on (for shut-down): transactions then fail at once.
    void Cancel() {
        m_Cancelled = true;
        m_Cancel.Set();
    }
    uint64_t Transactions() const { return m_Transactions.load(); }

private:
    // Waits `ms` unless cancelled; true when cancelled.
    bool Pause(int64_t ms);

    SimUnit& m_Unit;
    FaultPlan m_Plan;
    const int m_Baud;
    SyncEvent m_Cancel{SyncEvent::Reset::Manual};
    std::atomic<bool> m_Cancelled{false};  // m_Cancel is set (read without a system call)
    std::atomic<uint64_t> m_Transactions{0};
};

}  // namespace jvo::sim
