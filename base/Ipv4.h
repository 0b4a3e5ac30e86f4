#pragma once
// IPv4 addresses in dotted-quad text, without the socket library: four decimal numbers 0..255
// separated by dots, without leading zeros ("010" could mean octal elsewhere) or anything else.
#include <cstdint>
#include <string>
#include <string_view>

namespace jvo {

// True with the address in host byte order.
bool ParseIpv4(std::string_view text, uint32_t& address);
// "a.b.c.d" of an address in host byte order.
std::string FormatIpv4(uint32_t address);

}  // namespace jvo
