#pragma once
// A simulated unit served by an in-process proxy server on a free loopback port.
#include <string>

#include "proxy/ProxyServer.h"
#include "sim/SimProxy.h"
#include "sim/SimUnit.h"

namespace jvo::test {

struct SimProxyServer {
    explicit SimProxyServer(sim::SimUnit& unit,
                            int32_t replyTimeoutMs = ProxyServerOptions().replyTimeoutMs)
        : backend(unit), server(backend, Options(replyTimeoutMs)) {}
    SimProxyServer(const SimProxyServer&) = delete;
    SimProxyServer& operator=(const SimProxyServer&) = delete;
    ~SimProxyServer() { Stop(); }

    bool Start() { return server.Start(); }
    // Cuts the unit's waits short and closes the server.
    void Stop() {
        backend.Cancel();
        server.Stop();
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(server.Port()); }

    sim::SimUnitBackend backend;
    ProxyServer server;

private:
    static ProxyServerOptions Options(int32_t replyTimeoutMs) {
        ProxyServerOptions o;
        o.port = 0;
        o.replyTimeoutMs = replyTimeoutMs;
        return o;
    }
};

}  // namespace jvo::test
