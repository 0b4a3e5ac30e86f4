#pragma once
// CRC-16/X.25 (the FCS-16 of HDLC-like framing): reflected polynomial 0x1021 (table built from
// 0x8408), initial value 0xFFFF, final value complemented. The sender appends the complemented
// value low byte first; a receiver running the uncomplemented CRC over body plus the two check
// bytes arrives at kCrc16Good.
#include <cstddef>
#include <cstdint>

namespace jvo {

constexpr uint16_t kCrc16Init = 0xFFFF;
constexpr uint16_t kCrc16Good = 0xF0B8;

// The 256-entry table (entry 1 is 0x1189, entry 2 is 0x2312).
const uint16_t* Crc16Table();

// Continues a running CRC (no final complement) over `count` bytes.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t count);

// The check sequence of a body: the complemented CRC, to be sent low byte first.
uint16_t Crc16Compute(const uint8_t* data, size_t count);

// True when `count` bytes (a body followed by its two check bytes) pass the check.
bool Crc16Check(const uint8_t* data, size_t count);

}  // namespace jvo
