#pragma once
// Why a program cannot listen, in words for the user. Found out by trying it the way the programs
// do it.
#include <cstdint>
#include <string>

namespace jvo::cmdline {

// Why nothing can listen on address:port ("port 43015 is in use by another program").
std::string ListenFailure(const std::string& address, uint16_t port);

}  // namespace jvo::cmdline
