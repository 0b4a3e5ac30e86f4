// jvo-exporter: the readings of every unit of a site as Prometheus metrics.
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "base/CmdLine.h"
#include "exporter/Exporter.h"
#include "exporter/ExporterOptions.h"

using namespace jvo;

int main(int argc, char** argv) {
    exporter::ExporterOptions options;
    std::string error;
    switch (exporter::ParseExporterArgs(argc, argv, options, error)) {
        case exporter::ParseStatus::OK:
            break;
        case exporter::ParseStatus::USAGE:
            std::fprintf(stderr, "jvo-exporter: %s\n%s", error.c_str(),
                         exporter::ExporterUsage().c_str());
            return cmdline::kExitUsage;
        case exporter::ParseStatus::FILE:
            std::fprintf(stderr, "jvo-exporter: %s\n", error.c_str());
            return cmdline::kExitFile;
    }
    if (options.m_Help)
        return cmdline::WriteAll(stdout, exporter::ExporterUsage()) ? cmdline::kExitOk
                                                                    : cmdline::kExitOutput;

    // SIGINT, SIGTERM and SIGHUP are taken by sigwait below; every thread started from here on
    // keeps them blocked.
    sigset_t taken;
    sigemptyset(&taken);
    sigaddset(&taken, SIGINT);
    sigaddset(&taken, SIGTERM);
    sigaddset(&taken, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // Every client holds one descriptor while it is connected: allow as many as the system lets
    // this process have, rather than the customary 1024.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    exporter::Exporter exporter(options);
    if (!exporter.Start(error)) {
        std::fprintf(stderr, "jvo-exporter: %s\n", error.c_str());
        return cmdline::kExitFailed;
    }
    std::fprintf(stderr, "jvo-exporter: %zu unit(s); metrics on %s://%s:%u/metrics%s\n",
                 exporter.UnitCount(), options.m_ServerTls ? "https" : "http",
                 options.m_ListenAddress.c_str(), static_cast<unsigned>(exporter.Port()),
                 options.m_Web.m_Users.empty() ? "" : " (basic authentication)");
    if (!options.m_ServerTls && !options.m_Web.m_Users.empty())
        std::fprintf(stderr,
                     "jvo-exporter: warning: basic authentication without TLS sends the "
                     "passwords in the clear\n");
    for (;;) {
        int signal = 0;
        if (sigwait(&taken, &signal) != 0 || signal != SIGHUP) break;
        exporter::ExporterOptions next;
        if (exporter::ParseExporterArgs(argc, argv, next, error) != exporter::ParseStatus::OK) {
            std::fprintf(stderr, "jvo-exporter: reload refused, the running settings stay: %s\n",
                         error.c_str());
            continue;
        }
        std::fprintf(stderr, "jvo-exporter: reloaded: %s\n",
                     exporter.Reload(std::move(next)).c_str());
    }
    std::fprintf(stderr, "jvo-exporter: stopping\n");
    exporter.Stop();
    return cmdline::kExitOk;
}
