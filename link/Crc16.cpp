#include "link/Crc16.h"

#include <array>

namespace jvo {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned v = i;
        for (int bit = 0; bit < 8; ++bit)
            v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
        table[i] = static_cast<uint16_t>(v);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1189 && kTable[2] == 0x2312 && kTable[255] == 0x0F78);

}  // namespace

const uint16_t* Crc16Table() {
    return kTable.data();
}

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i)
        crc = (crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF];
    return crc;
}

uint16_t Crc16Compute(const uint8_t* data, size_t count) {
    return static_cast<uint16_t>(~Crc16Update(kCrc16Init, data, count));
}

bool Crc16Check(const uint8_t* data, size_t count) {
    return count >= 2 && Crc16Update(kCrc16Init, data, count) == kCrc16Good;
}

}  // namespace jvo
