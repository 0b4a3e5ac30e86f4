// jvo-proxy: serves unit transactions to monitor programs over TCP (STREAM messages).
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "base/CmdLine.h"
#include "link/OpenProblems.h"
#include "link/PortDirectory.h"
#include "link/StopRequest.h"
#include "link/TcpBase.h"
#include "proxy/BackendFactory.h"
#include "proxy/ProgramOptions.h"
#include "proxy/ProxyServer.h"

namespace {

std::string Usage() {
    return jvo::ProxyUsage(jvo::BackendUsage());
}

}  // namespace

int main(int argc, char** argv) {
    using namespace jvo::cmdline;
    jvo::IgnoreBrokenPipes();  // a closed standard output is an output error
    jvo::ProxyProgramOptions options;
    std::string error;
    if (!jvo::ParseProxyArgs(argc, argv, options, error, &jvo::ParseBackendArgs)) {
        std::fprintf(stderr, "jvo-proxy: %s\n%s", error.c_str(), Usage().c_str());
        return kExitUsage;
    }
    if (options.help) return WriteAll(stdout, Usage()) ? kExitOk : kExitOutput;
    if (options.version) return WriteAll(stdout, VersionText("jvo-proxy")) ? kExitOk : kExitOutput;
    if (options.comPort <= 0 && options.devicePath.empty()) {
        std::fprintf(stderr, "jvo-proxy: give the unit's port with --com N or --device PATH\n%s",
                     Usage().c_str());
        return kExitUsage;
    }
    // Stop requests are taken by the main thread alone.
    jvo::StopRequests stop;

    jvo::TcpBase network;
    std::unique_ptr<jvo::IUnitBackend> backend = jvo::MakeUnitBackend(options, error);
    if (!backend) {
        std::fprintf(stderr, "jvo-proxy: %s\n", error.c_str());
        return kExitNoUnit;
    }
    jvo::ProxyServerOptions serverOptions;
    serverOptions.address = options.listenAddress;
    serverOptions.port = options.listenPort;
    serverOptions.allow = jvo::PeersToAccept(options.listenAddress, options.allow);
    serverOptions.maxClients = options.maxClients;
    serverOptions.readOnly = options.readOnly;
    serverOptions.plainAddress = options.plainAddress;
    serverOptions.plainPort = options.plainPort;
    if (!options.tlsCert.empty()) {
        serverOptions.tls = jvo::MakeTlsServerContext(
            {options.tlsClientCa, options.tlsCert, options.tlsKey}, error);
        if (!serverOptions.tls) {
            std::fprintf(stderr, "jvo-proxy: %s\n", error.c_str());
            return kExitFailed;
        }
    }
    if (!options.writersFile.empty()) {
        auto writers = std::make_shared<std::set<std::string>>();
        if (!jvo::ReadWriters(options.writersFile, *writers, error)) {
            std::fprintf(stderr, "jvo-proxy: %s\n", error.c_str());
            return kExitFailed;
        }
        serverOptions.writers = std::move(writers);
    }
    const std::string warning = jvo::ListenWarning(options.listenAddress, options.allow);
    if (!warning.empty()) std::fprintf(stderr, "jvo-proxy: %s\n", warning.c_str());
    jvo::ProxyServer server(*backend, serverOptions);
    if (!server.Start()) {
        std::fprintf(stderr, "jvo-proxy: cannot listen on %s:%u\n", options.listenAddress.c_str(),
                     static_cast<unsigned>(options.listenPort));
        std::fprintf(stderr, "jvo-proxy: %s\n",
                     ListenFailure(options.listenAddress, options.listenPort).c_str());
        return kExitFailed;
    }
    std::string listening = "jvo-proxy: listening on " + options.listenAddress + ":" +
                            std::to_string(server.Port()) + (serverOptions.tls ? " (TLS)" : "");
    if (!options.plainAddress.empty())
        listening +=
            " and " + options.plainAddress + ":" + std::to_string(server.PlainPort()) + " (plain)";
    if (!WriteAll(stdout, listening + "\n")) {
        server.Stop();
        return kExitOutput;
    }
    stop.Wait(jvo::kWaitForever);
    const bool written = WriteAll(stdout, "jvo-proxy: stopping\n");
    server.Stop();
    return written ? kExitOk : kExitOutput;
}
