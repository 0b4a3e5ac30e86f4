#include "exporter/Exporter.h"

#include <prometheus/exposer.h>

#include <exception>

#include "base/CmdLine.h"
#include "exporter/FleetCollector.h"
#include "link/OpenProblems.h"

namespace jvo::exporter {

namespace {
constexpr size_t kHttpThreads = 2;
}

Exporter::Exporter(ExporterOptions options, PollerTimings timings) : m_Options(std::move(options)) {
    std::vector<const UnitPoller*> views;
    for (const UnitEntry& entry : m_Options.m_Units) {
        m_Pollers.push_back(std::make_unique<UnitPoller>(entry, timings));
        views.push_back(m_Pollers.back().get());
    }
    m_Collector = std::make_shared<FleetCollector>(std::move(views));
}

Exporter::~Exporter() {
    Stop();
}

bool Exporter::Start(std::string& error) {
    if (m_Exposer) return true;
    const std::string bind =
        m_Options.m_ListenAddress + ":" + std::to_string(m_Options.m_ListenPort);
    try {
        m_Exposer = std::make_unique<prometheus::Exposer>(bind, kHttpThreads);
        const std::vector<int> ports = m_Exposer->GetListeningPorts();
        if (ports.empty()) throw std::runtime_error("no listening port");
        m_Port = static_cast<uint16_t>(ports.front());
    } catch (const std::exception&) {
        m_Exposer.reset();
        error = cmdline::ListenFailure(m_Options.m_ListenAddress, m_Options.m_ListenPort);
        return false;
    }
    m_Exposer->RegisterCollectable(m_Collector);
    for (auto& p : m_Pollers)
        p->Start();
    return true;
}

void Exporter::Stop() {
    // The endpoint goes first, so that no scrape looks at a poller being stopped.
    m_Exposer.reset();
    for (auto& p : m_Pollers)
        p->Stop();
}

}  // namespace jvo::exporter
