#pragma once
// Why a program cannot listen or open its unit's serial device, in words for the user. Found out
// by trying it the way the programs do it.
#include <cstdint>
#include <string>

namespace jvo::cmdline {

// Why nothing can listen on address:port ("port 43015 is in use by another program").
std::string ListenFailure(const std::string& address, uint16_t port);

// Why the serial device at `path` cannot be opened for a unit ("permission denied: add yourself
// to the dialout group", "it is in use by another program").
std::string SerialDeviceProblem(const std::string& path);

}  // namespace jvo::cmdline
