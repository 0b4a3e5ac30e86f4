#pragma once
// UnitLink: the transport to a unit. One transaction at a time: a request addressed to a unit goes
// out and the matching reply comes back, over the serial frame port or through a proxy server.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "link/FramePort.h"
#include "link/ProxyConnection.h"
#include "base/MsgBuf.h"

namespace jvo {

class UnitLink {
public:
    UnitLink();
    ~UnitLink();
    UnitLink(const UnitLink&) = delete;
    UnitLink& operator=(const UnitLink&) = delete;

    // COM n (resolved through the port directory) or a device path. False when already connected.
    bool OpenSerial(int portNumber, int baud);
    bool OpenSerialDevice(const std::string& path, int baud);
    // The proxy server at `host` (optionally "host:PORT"). False when already connected.
    bool OpenProxy(const std::string& host, const ProxyOptions& options = {});
    void Disconnect();
    bool IsConnected() const { return m_Connected.load(); }
    bool ViaProxy() const { return m_ViaProxy.load(); }

    // Sends `request` (its unread bytes) to unit `address` and waits for the matching reply,
    // whose payload lands in `reply`. The time-out applies to this transaction only; the first
    // form uses m_ReplyTimeoutMs.
    bool Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol = 2);
    bool Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol, int32_t timeoutMs);

    CFramePort& Port() { return m_Port; }

    // The process-wide request sequence counter (shared by all links).
    static uint8_t NextSequence();
    static void SetSequence(uint8_t next);

    std::atomic<int32_t> m_ReplyTimeoutMs{250};
    int m_PortNumber = -1;
    int m_Baud = 0;

private:
    bool TransactSerial(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                        int32_t timeoutMs);
    bool FinishOpen(bool opened, int baud);

    std::atomic<bool> m_Connected{false};
    std::atomic<bool> m_ViaProxy{false};
    CFramePort m_Port;
    std::unique_ptr<ProxyConnection> m_Proxy;
    std::mutex m_Lock;  // the transaction lock; also guards opening and closing
};

}  // namespace jvo
