#pragma once
// The unit backend of jvo-proxy for a unit on a serial port: each transaction is forwarded
// through a UnitLink on the serial path (framing, sequence numbers, stale-reply matching), with
// the reply time-out the server gives for the command (ReplyTimeoutFor when it gives none).
#include <cstdint>
#include <string>
#include <vector>

#include "link/UnitLink.h"
#include "proxy/UnitBackend.h"

namespace jvo {

class SerialUnitBackend final : public IUnitBackend {
public:
    // COM n (through the port directory) or a device path, at `baud`. False when it cannot be
    // opened (or is already open).
    bool OpenCom(int comPort, int baud);
    bool OpenDevice(const std::string& path, int baud);
    bool IsOpen() const { return m_Link.IsConnected(); }

    bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                  std::vector<uint8_t>& reply, int32_t timeoutMs) override;

private:
    UnitLink m_Link;
};

}  // namespace jvo
