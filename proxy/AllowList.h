#pragma once
// Which clients the proxy server accepts. Anyone who can reach the server can install to a unit
// or reset it, so it listens on loopback by default; when it listens on another address, only
// the addresses and networks given with --allow ADDR[/BITS] (and this machine) are accepted.
#include <cstdint>
#include <string>
#include <vector>

namespace jvo {

struct AllowedNet {
    uint32_t address = 0;  // host order
    int bits = 32;         // prefix length 0..32

    bool Contains(uint32_t peer) const;
    bool operator==(const AllowedNet&) const = default;
};

// "ADDR[/BITS]": a dotted quad and a prefix length from 0 to 32 (32 when missing).
bool ParseAllowedNet(const std::string& text, AllowedNet& net);

// True for an address in 127.0.0.0/8.
bool IsLoopback(const std::string& dottedQuad);

// The peers the server should accept when it listens on `listenAddress`: nothing to restrict
// (empty) on loopback, else the allowed networks and this machine's loopback network.
std::vector<AllowedNet> PeersToAccept(const std::string& listenAddress,
                                      const std::vector<AllowedNet>& allowed);

// The warning to print when the server listens beyond this machine; empty on loopback.
std::string ListenWarning(const std::string& listenAddress, const std::vector<AllowedNet>& allowed);

}  // namespace jvo
