#pragma once
// Which clients the proxy server accepts. Anyone who can reach the server can install to a unit
// or reset it, so it listens on loopback by default. With --allow ADDR[/BITS], only the addresses
// and networks given are accepted, wherever it listens (this machine too only when listed);
// without, a server on another address accepts this machine only.
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

// The peers the server should accept when it listens on `listenAddress`: the allowed networks
// when there are any; else nothing to restrict (empty) on loopback, and this machine's loopback
// network elsewhere.
std::vector<AllowedNet> PeersToAccept(const std::string& listenAddress,
                                      const std::vector<AllowedNet>& allowed);

// The warning to print when the server listens beyond this machine; empty on loopback.
std::string ListenWarning(const std::string& listenAddress, const std::vector<AllowedNet>& allowed);

}  // namespace jvo
