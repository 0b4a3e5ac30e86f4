#include "proxy/AllowList.h"

#include "base/Ipv4.h"

namespace jvo {

namespace {

bool ParseQuad(const std::string& text, uint32_t& address) {
    return ParseIpv4(text, address);
}

std::string Quad(uint32_t address) {
    return FormatIpv4(address);
}

uint32_t Mask(int bits) {
    return bits <= 0 ? 0 : bits >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - bits)) - 1);
}

const AllowedNet kLoopbackNet{0x7F000000u, 8};

}  // namespace

bool AllowedNet::Contains(uint32_t peer) const {
    return (peer & Mask(bits)) == (address & Mask(bits));
}

bool ParseAllowedNet(const std::string& text, AllowedNet& net) {
    const size_t slash = text.find('/');
    uint32_t address = 0;
    if (!ParseQuad(text.substr(0, slash), address)) return false;
    int bits = 32;
    if (slash != std::string::npos) {
        const std::string digits = text.substr(slash + 1);
        if (digits.empty() || digits.size() > 2) return false;
        bits = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            bits = bits * 10 + (c - '0');
        }
        if (bits > 32) return false;
    }
    net.address = address & Mask(bits);
    net.bits = bits;
    return true;
}

bool IsLoopback(const std::string& dottedQuad) {
    uint32_t address = 0;
    return ParseQuad(dottedQuad, address) && kLoopbackNet.Contains(address);
}

std::vector<AllowedNet> PeersToAccept(const std::string& listenAddress,
                                      const std::vector<AllowedNet>& allowed) {
    if (IsLoopback(listenAddress)) return {};
    std::vector<AllowedNet> peers = allowed;
    peers.push_back(kLoopbackNet);
    return peers;
}

std::string ListenWarning(const std::string& listenAddress,
                          const std::vector<AllowedNet>& allowed) {
    if (IsLoopback(listenAddress)) return std::string();
    std::string text = "warning: listening on " + listenAddress +
                       ", beyond this machine: every accepted client can install to a unit or "
                       "reset it. Clients are accepted from this machine";
    if (allowed.empty()) return text + " only (name others with --allow ADDR[/BITS])";
    text += " and from";
    for (const AllowedNet& n : allowed)
        text += " " + Quad(n.address) + "/" + std::to_string(n.bits);
    return text;
}

}  // namespace jvo
