// jvo-proxy: serves unit transactions to monitor programs over TCP (STREAM messages).
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "link/TcpBase.h"
#include "proxy/BackendFactory.h"
#include "proxy/ProgramOptions.h"
#include "proxy/ProxyServer.h"

namespace {

void PrintUsage(FILE* to) {
    std::fprintf(to,
                 "Usage: jvo-proxy [--listen [ADDR:]PORT] [--allow ADDR[/BITS]]... [unit options]\n"
                 "  --listen [ADDR:]PORT  address and TCP port to listen on (default "
                 "127.0.0.1:43015)\n"
                 "  --allow ADDR[/BITS]   with --listen beyond this machine: accept clients from\n"
                 "                        this address or network (repeatable)\n"
                 "%s"
                 "  --help                this text\n",
                 jvo::BackendUsage());
}

}  // namespace

int main(int argc, char** argv) {
    jvo::ProxyProgramOptions options;
    std::string error;
    if (!jvo::ParseProxyArgs(argc, argv, options, error, &jvo::ParseBackendArgs)) {
        std::fprintf(stderr, "jvo-proxy: %s\n", error.c_str());
        PrintUsage(stderr);
        return 2;
    }
    if (options.help) {
        PrintUsage(stdout);
        return 0;
    }
    // SIGINT and SIGTERM are taken by the main thread alone (every thread inherits the mask).
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    jvo::TcpBase network;
    std::unique_ptr<jvo::IUnitBackend> backend = jvo::MakeUnitBackend(options, error);
    if (!backend) {
        std::fprintf(stderr, "jvo-proxy: %s\n", error.c_str());
        return 2;
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
        return 1;
    }
    std::printf("jvo-proxy: listening on %s:%u\n", options.listenAddress.c_str(),
                static_cast<unsigned>(server.Port()));
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::printf("jvo-proxy: stopping\n");
    server.Stop();
    return 0;
}
