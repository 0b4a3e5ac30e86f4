#include "proxy/SerialBackend.h"

#include <algorithm>

#include "base/MsgBuf.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/Threads.h"

namespace jvo {

SerialUnitBackend::SerialUnitBackend() : m_Times(ReopenTimes{}) {}

SerialUnitBackend::SerialUnitBackend(ReopenTimes times) : m_Times(times) {}

SerialUnitBackend::~SerialUnitBackend() {
    Stop();
}

bool SerialUnitBackend::OpenCom(int comPort, int baud) {
    return StartWatching(m_Link.OpenSerial(comPort, baud));
}

bool SerialUnitBackend::OpenDevice(const std::string& path, int baud) {
    return StartWatching(m_Link.OpenSerialDevice(path, baud));
}

bool SerialUnitBackend::StartWatching(bool opened) {
    if (opened && !m_Watcher.joinable()) {
        m_StopEvent.Clear();
        m_Watcher = std::thread([this] {
            NameThisThread("ProxyPortWatch");
            Watch();
        });
    }
    return opened;
}

void SerialUnitBackend::Stop() {
    m_StopEvent.Set();
    if (m_Watcher.joinable()) m_Watcher.join();
    m_Link.Disconnect();
}

void SerialUnitBackend::Watch() {
    bool lost = false;
    int32_t interval = m_Times.firstMs;
    while (!m_StopEvent.Wait(lost ? interval : m_Times.checkMs)) {
        if (!lost) {
            if (!m_Link.TransportLost()) continue;
            lost = true;
            interval = m_Times.firstMs;
            JVO_LOG0(
                "SerialUnitBackend: the unit's port is lost (%s); requests fail until it is "
                "open again",
                m_Link.TransportLostReason());
            continue;
        }
        if (m_Link.Reopen()) {
            JVO_LOG0("SerialUnitBackend: the unit's port is open again; serving");
            lost = false;
            continue;
        }
        interval = std::min(interval * 2, m_Times.maxMs);
    }
}

bool SerialUnitBackend::Transact(uint8_t address, const uint8_t* request, int32_t length,
                                 std::vector<uint8_t>& reply, int32_t timeoutMs) {
    reply.clear();
    if (length < 0 || (length > 0 && request == nullptr)) return false;
    // The link reads the request's unread bytes; a wrapped area is full and ready to read. A
    // payload too long for one frame goes out empty and fails by time-out, as on the serial path.
    MsgBuf in(const_cast<uint8_t*>(request), length);
    MsgBuf out(1200);  // the largest reply payload fits
    // The server names the time-out; without one, the command's own.
    const int32_t wait = timeoutMs > 0 ? timeoutMs : ReplyTimeoutFor(length > 0 ? request[0] : 0);
    if (!m_Link.Transact(address, in, out, kProtocolByte, wait)) return false;
    reply.assign(out.Base(), out.Base() + out.WritePos());
    return true;
}

}  // namespace jvo
