#include "link/ProxyReply.h"

#include "link/AppLog.h"

namespace jvo {

bool TakeProxyReply(RecBuf& body, MsgBuf& reply) {
    const uint8_t status = body.Get8();
    const uint16_t payload = body.Get16();
    if (body.Error() || status == 0) return false;
    if (payload > body.Length()) {
        JVO_LOG1("ProxyConnection::Transact() Reply length %d exceeds the %d bytes received",
                 payload, body.Length());
        return false;
    }
    reply.PutBytes(body.ReadPtr(), payload);
    return !reply.Error();
}

}  // namespace jvo
