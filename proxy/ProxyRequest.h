#pragma once
// The request body a proxy client sends in one STREAM message: u8 unit address, u16 payload
// length (little-endian), the payload.
#include <cstddef>
#include <cstdint>

namespace jvo {

struct ProxyRequest {
    uint8_t address = 0;
    const uint8_t* payload = nullptr;  // points into the body
    size_t length = 0;
};

// False when the body is shorter than 3 bytes or is not exactly 3 + its payload length long.
bool ParseProxyRequest(const uint8_t* body, size_t size, ProxyRequest& request);

}  // namespace jvo
