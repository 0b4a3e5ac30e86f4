#pragma once
// The unit backend of jvo-proxy for a unit on a serial port: each transaction is forwarded
// through a UnitLink on the serial path (framing, sequence numbers, stale-reply matching), with
// the reply time-out the server gives for the command (ReplyTimeoutFor when it gives none).
//
// A port that hangs up (power cycle, re-plug, unit restart) is watched for and brought back by
// LinkRecovery, first after ReopenTimes::firstMs and then at intervals doubling up to maxMs, only
// onto its own device. Meanwhile every transaction fails at once, and the server answers with the
// failure status.
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "base/SyncEvent.h"
#include "link/UnitLink.h"
#include "proxy/UnitBackend.h"

namespace jvo {

class SerialUnitBackend final : public IUnitBackend {
public:
    struct ReopenTimes {
        int32_t firstMs = 1000;  // the first attempt after a loss
        int32_t maxMs = 5000;    // the interval doubles up to this
        int32_t checkMs = 100;   // how often a working port is looked at
    };

    SerialUnitBackend();
    explicit SerialUnitBackend(ReopenTimes times);
    ~SerialUnitBackend() override;
    SerialUnitBackend(const SerialUnitBackend&) = delete;
    SerialUnitBackend& operator=(const SerialUnitBackend&) = delete;

    // COM n (through the port directory) or a device path, at `baud`. False when it cannot be
    // opened (or is already open); `status` (may be null) then says why.
    bool OpenCom(int comPort, int baud, LinkStatus* status = nullptr);
    bool OpenDevice(const std::string& path, int baud, LinkStatus* status = nullptr);
    bool IsOpen() const { return m_Link.IsConnected(); }
    // True while the port is lost and not yet reopened.
    bool PortLost() const { return m_Link.TransportLost(); }

    bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                  std::vector<uint8_t>& reply, int32_t timeoutMs) override;
    // Ends the watcher and closes the port, breaking a transaction in progress.
    void Stop() override;

private:
    bool StartWatching(bool opened);
    void Watch();

    const ReopenTimes m_Times;
    UnitLink m_Link;
    SyncEvent m_StopEvent{SyncEvent::Reset::Manual};
    std::thread m_Watcher;
};

}  // namespace jvo
