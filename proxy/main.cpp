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
    return std::string(
               "Usage: jvo-proxy [--listen [ADDR:]PORT] [--allow ADDR[/BITS]]... [--max-clients "
               "N]\n"
               "                 [--tls-cert FILE --tls-key FILE --tls-client-ca FILE\n"
               "                  [--listen-plain [ADDR:]PORT]] [--read-only | --writers FILE]\n"
               "                 (--com N | --device PATH)\n"
               "  --listen [ADDR:]PORT  address and TCP port to listen on (default "
               "127.0.0.1:43015;\n"
               "                        ADDR \".\" is this machine, PORT 0 any free port)\n"
               "  --allow ADDR[/BITS]   accept clients only from this address or network\n"
               "                        (repeatable); this machine too only when listed, also\n"
               "                        on loopback (--allow 127.0.0.1). Without --allow: every\n"
               "                        client on loopback, this machine only elsewhere\n"
               "  --max-clients N       clients at most (default 128); when full, the client\n"
               "                        that sent no request for longest (5 s at least) makes\n"
               "                        room, else the newcomer is refused\n"
               "  --tls-cert FILE       --listen serves TLS 1.3 with this certificate (PEM chain)\n"
               "  --tls-key FILE        ... and its key\n"
               "  --tls-client-ca FILE  ... and requires client certificates signed by this CA\n"
               "  --listen-plain [ADDR:]PORT\n"
               "                        also serve the plain proxy path here, beside TLS\n"
               "  --read-only           refuse every request that changes the unit (writes and\n"
               "                        commit, reset, clear logs and alarms, reset kWh,\n"
               "                        auto-zero, set clock, reboot); readings and reads pass\n"
               "  --writers FILE        only TLS clients whose certificate subject is listed in\n"
               "                        FILE (one a line, RFC 2253: CN=ops,O=Site) may change\n"
               "                        the unit; every other client is read-only\n") +
           jvo::BackendUsage() +
           "  --help                this text\n"
           "Options take their value as the next argument or after '=' (--com=5).\n"
           "Clients connect with --proxy HOST[:PORT] (HOST \".\" is this machine), or with\n"
           "--proxy tls://HOST[:PORT] --tls-ca FILE --tls-cert FILE --tls-key FILE.\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen or a TLS or writers "
           "file\n"
           "cannot be used, 4 the unit's port cannot be opened, 64 bad command line, 74 the "
           "output\n"
           "could not be written.\n";
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
