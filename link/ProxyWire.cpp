#include "link/ProxyWire.h"

namespace jvo::proxywire {

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void PutLe16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

void PutStreamHeader(uint8_t* header, uint32_t length) {
    const uint32_t fields[2] = {kStreamMarker, length};
    for (int f = 0; f < 2; ++f)
        for (int i = 0; i < 4; ++i)
            header[4 * f + i] = static_cast<uint8_t>(fields[f] >> (8 * i));
}

bool ParseRequest(const uint8_t* body, size_t size, Request& request) {
    if (body == nullptr || size < 3) return false;
    const size_t length = Le16(body + 1);
    if (size != 3 + length) return false;
    request.address = body[0];
    request.payload = body + 3;
    request.length = length;
    return true;
}

std::vector<uint8_t> ReplyBody(bool answered, const std::vector<uint8_t>& reply) {
    if (!answered || reply.size() > 0xFFFF) return {0, 0, 0};
    std::vector<uint8_t> body;
    body.reserve(3 + reply.size());
    body.push_back(1);
    PutLe16(body, static_cast<uint16_t>(reply.size()));
    body.insert(body.end(), reply.begin(), reply.end());
    return body;
}

std::vector<uint8_t> RefusalBody(ProxyRefusal reason, uint16_t limit) {
    std::vector<uint8_t> body = {0};
    PutLe16(body, 4);
    body.push_back(kRefusalTag);
    body.push_back(static_cast<uint8_t>(reason));
    PutLe16(body, limit);
    return body;
}

Reply ParseReply(const uint8_t* body, size_t size) {
    Reply r;
    if (body == nullptr || size < 3) return r;
    const size_t length = Le16(body + 1);
    if (length > size - 3) return r;
    const uint8_t* payload = body + 3;
    if (body[0] != 0) {
        r.kind = ReplyKind::Answer;
        r.payload = payload;
        r.length = length;
        return r;
    }
    r.kind = ReplyKind::Failure;
    if (length == 4 && payload[0] == kRefusalTag && payload[1] >= 1 && payload[1] <= 3) {
        r.kind = ReplyKind::Refusal;
        r.refusal = static_cast<ProxyRefusal>(payload[1]);
        r.limit = Le16(payload + 2);
    }
    return r;
}

}  // namespace jvo::proxywire
