#pragma once
// The proxy path on the wire, in one place: STREAM framing, the request and reply bodies, and the
// proxy server's refusal.
//
// STREAM message: marker 0xFEEDFACE (u32, little-endian: CE FA ED FE), u32 body length, body. A
// length of 0 is a keep-alive (header only); a body is at most 0x6400000 bytes.
//
// Request body (client to server): u8 unit address, u16 payload length, payload (command code and
// arguments). Reply body (server to client): u8 status (non-zero: the unit answered), u16 payload
// length, payload (reply code and results). Status 0 with an empty payload: the unit did not
// answer, or the request was malformed.
//
// Refusal by the proxy server: a reply body with status 0 whose payload is exactly four bytes,
// kRefusalTag, the reason (ProxyRefusal: 1 full, 2 not allowed, 3 read-only) and a u16 (for
// "full": the server's client limit; else 0). A client that knows only the bodies above reads it
// as a failed command, which is what it is. "Full" and "not allowed" are sent unasked right after
// the connection is accepted, and the server then closes it; "read-only" answers the one request
// that would change the unit, and the connection stays.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/LinkStatus.h"

namespace jvo::proxywire {

constexpr uint32_t kStreamMarker = 0xFEEDFACE;
constexpr uint32_t kStreamMaxBody = 0x6400000;  // 100 MiB
constexpr size_t kStreamHeaderSize = 8;
constexpr uint16_t kDefaultPort = 43015;
constexpr size_t kMaxRequestBody = 3 + 0xFFFF;  // the longest well-formed request body
constexpr uint8_t kRefusalTag = 0xA5;
constexpr size_t kRefusalBodySize = 3 + 4;

// The 8 header bytes of a STREAM message with a body of `length` bytes (0: a keep-alive).
void PutStreamHeader(uint8_t* header, uint32_t length);

struct Request {
    uint8_t address = 0;
    const uint8_t* payload = nullptr;  // points into the body
    size_t length = 0;
};
// False when the body is shorter than 3 bytes or is not exactly 3 + its payload length long.
bool ParseRequest(const uint8_t* body, size_t size, Request& request);

// The reply body of one transaction: the unit's reply when it answered (and the reply fits the
// length field), else the plain failure.
std::vector<uint8_t> ReplyBody(bool answered, const std::vector<uint8_t>& reply);
// The refusal body.
std::vector<uint8_t> RefusalBody(ProxyRefusal reason, uint16_t limit = 0);

enum class ReplyKind {
    Answer,     // status non-zero: the payload is the unit's reply
    Failure,    // status 0: the unit did not answer, or the request was malformed
    Refusal,    // the server's refusal (reason, limit)
    Malformed,  // shorter than its header or its announced payload
};
struct Reply {
    ReplyKind kind = ReplyKind::Malformed;
    const uint8_t* payload = nullptr;  // Answer: points into the body
    size_t length = 0;
    ProxyRefusal refusal = ProxyRefusal::None;
    uint16_t limit = 0;
};
Reply ParseReply(const uint8_t* body, size_t size);

}  // namespace jvo::proxywire
