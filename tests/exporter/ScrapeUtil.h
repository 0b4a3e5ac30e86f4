#pragma once
// Scraping the exporter as Prometheus would: an HTTP GET over loopback with a plain socket, and
// the samples of the text format by series (name with its labels, as served).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

namespace jvo::test {

// The body of GET /metrics, or "" when the request failed or did not answer 200.
inline std::string Scrape(uint16_t port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return {};
    timeval tv{30, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
        const std::string request = "GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0)
                response.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(s);
    const size_t body = response.find("\r\n\r\n");
    if (body == std::string::npos || response.find(" 200 ") > response.find("\r\n")) return {};
    return response.substr(body + 4);
}

// Series (as served, e.g. `jvo_up{unit="cab1"}`) to value.
inline std::map<std::string, double> Samples(const std::string& text) {
    std::map<std::string, double> samples;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t space = line.rfind(' ');
        if (space == std::string::npos) continue;
        samples[line.substr(0, space)] = std::strtod(line.c_str() + space + 1, nullptr);
    }
    return samples;
}

// How many series start with `prefix`.
inline int CountSeries(const std::map<std::string, double>& samples, const std::string& prefix) {
    int n = 0;
    for (const auto& [key, value] : samples)
        n += key.compare(0, prefix.size(), prefix) == 0;
    return n;
}

}  // namespace jvo::test
