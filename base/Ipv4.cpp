#include "base/Ipv4.h"

namespace jvo {

bool ParseIpv4(std::string_view text, uint32_t& address) {
    uint32_t result = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        const size_t start = i;
        uint32_t part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 4) {
            part = part * 10 + static_cast<uint32_t>(text[i] - '0');
            ++i;
        }
        const size_t digits = i - start;
        if (digits == 0 || digits > 3 || part > 255 || (digits > 1 && text[start] == '0'))
            return false;
        result = result << 8 | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    if (i != text.size()) return false;
    address = result;
    return true;
}

std::string FormatIpv4(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

}  // namespace jvo
