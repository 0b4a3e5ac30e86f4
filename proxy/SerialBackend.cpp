#include "proxy/SerialBackend.h"

#include "base/MsgBuf.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/LinkRecovery.h"
#include "link/Threads.h"

namespace jvo {

SerialUnitBackend::SerialUnitBackend() : m_Times(ReopenTimes{}) {}

SerialUnitBackend::SerialUnitBackend(ReopenTimes times) : m_Times(times) {}

SerialUnitBackend::~SerialUnitBackend() {
    Stop();
}

bool SerialUnitBackend::OpenCom(int comPort, int baud, LinkStatus* status) {
    return StartWatching(m_Link.OpenSerial(comPort, baud, status));
}

bool SerialUnitBackend::OpenDevice(const std::string& path, int baud, LinkStatus* status) {
    return StartWatching(m_Link.OpenSerialDevice(path, baud, status));
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
    // Meanwhile every transaction fails at once, and the server answers with the failure status.
    LinkRecovery recovery(m_Link, "SerialUnitBackend", {m_Times.firstMs, m_Times.maxMs});
    const LinkRecovery::Wait wait = [this](int32_t ms) { return m_StopEvent.Wait(ms); };
    while (!m_StopEvent.Wait(m_Times.checkMs)) {
        if (recovery.Lost()) recovery.Recover(wait);
    }
}

bool SerialUnitBackend::Transact(uint8_t address, const uint8_t* request, int32_t length,
                                 std::vector<uint8_t>& reply, int32_t timeoutMs) {
    reply.clear();
    if (length < 0 || (length > 0 && request == nullptr)) return false;
    // The link reads the request's unread bytes; a wrapped area is full and ready to read. A
    // payload too long for one frame is refused by the link at once, without being sent.
    MsgBuf in(const_cast<uint8_t*>(request), length);
    MsgBuf out(1200);  // the largest reply payload fits
    // The server names the time-out; without one, the command's own.
    const int32_t wait = timeoutMs > 0 ? timeoutMs : ReplyTimeoutFor(length > 0 ? request[0] : 0);
    if (!m_Link.Transact(address, in, out, kProtocolByte, wait)) return false;
    reply.assign(out.Base(), out.Base() + out.WritePos());
    return true;
}

}  // namespace jvo
