// jvo-proxy: serves unit transactions to monitor programs over TCP (STREAM messages).
#include <cstdio>
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
               "Usage: jvo-proxy [--listen [ADDR:]PORT] [--allow ADDR[/BITS]]... (--com N | "
               "--device PATH)\n"
               "  --listen [ADDR:]PORT  address and TCP port to listen on (default "
               "127.0.0.1:43015;\n"
               "                        ADDR \".\" is this machine, PORT 0 any free port)\n"
               "  --allow ADDR[/BITS]   with --listen beyond this machine: accept clients from\n"
               "                        this address or network (repeatable)\n") +
           jvo::BackendUsage() +
           "  --help                this text\n"
           "Options take their value as the next argument or after '=' (--com=5).\n"
           "Clients connect with --proxy HOST[:PORT] (HOST \".\" is this machine).\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen, 4 the unit's port "
           "cannot be\n"
           "opened, 64 bad command line, 74 the output could not be written.\n";
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
    if (!WriteAll(stdout, "jvo-proxy: listening on " + options.listenAddress + ":" +
                              std::to_string(server.Port()) + "\n")) {
        server.Stop();
        return kExitOutput;
    }
    stop.Wait(jvo::kWaitForever);
    const bool written = WriteAll(stdout, "jvo-proxy: stopping\n");
    server.Stop();
    return written ? kExitOk : kExitOutput;
}
