#include "proxy/SerialBackend.h"

#include "link/Commands.h"
#include "base/MsgBuf.h"

namespace jvo {

bool SerialUnitBackend::OpenCom(int comPort, int baud) {
    return m_Link.OpenSerial(comPort, baud);
}

bool SerialUnitBackend::OpenDevice(const std::string& path, int baud) {
    return m_Link.OpenSerialDevice(path, baud);
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
