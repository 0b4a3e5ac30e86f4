// jvo-exporter: the readings of every unit of a site as Prometheus metrics.
#include <signal.h>

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
    if (options.m_Version)
        return cmdline::WriteAll(stdout, cmdline::VersionText("jvo-exporter"))
                   ? cmdline::kExitOk
                   : cmdline::kExitOutput;

    // SIGINT and SIGTERM are taken by sigwait below; every thread started from here on keeps
    // them blocked.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);

    exporter::Exporter exporter(options);
    if (!exporter.Start(error)) {
        std::fprintf(stderr, "jvo-exporter: %s\n", error.c_str());
        return cmdline::kExitFailed;
    }
    std::fprintf(stderr, "jvo-exporter: %zu unit(s); metrics on http://%s:%u/metrics\n",
                 exporter.UnitCount(), options.m_ListenAddress.c_str(),
                 static_cast<unsigned>(exporter.Port()));
    int signal = 0;
    sigwait(&stop, &signal);
    std::fprintf(stderr, "jvo-exporter: stopping\n");
    exporter.Stop();
    return cmdline::kExitOk;
}
