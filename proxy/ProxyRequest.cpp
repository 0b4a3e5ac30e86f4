#include "proxy/ProxyRequest.h"

namespace jvo {

bool ParseProxyRequest(const uint8_t* body, size_t size, ProxyRequest& request) {
    if (body == nullptr || size < 3) return false;
    const size_t length = static_cast<size_t>(body[1] | body[2] << 8);
    if (size != 3 + length) return false;
    request.address = body[0];
    request.payload = body + 3;
    request.length = length;
    return true;
}

}  // namespace jvo
