#pragma once
// The exporter: one UnitPoller per configured unit and the Prometheus client library's HTTP
// endpoint serving their metrics at /metrics.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exporter/ExporterOptions.h"
#include "exporter/UnitPoller.h"

namespace prometheus {
class Exposer;
}

namespace jvo::exporter {

class FleetCollector;

class Exporter {
public:
    explicit Exporter(ExporterOptions options, PollerTimings timings = {});
    // Stop().
    ~Exporter();
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;

    // Listens, then starts the pollers. False with the reason in `error` (in words for the user)
    // when nothing can listen on the address and port.
    bool Start(std::string& error);
    // Stops the pollers (each breaks off its transaction) and the endpoint.
    void Stop();

    // The port listened on (the one given, or the one chosen for port 0).
    uint16_t Port() const { return m_Port; }
    size_t UnitCount() const { return m_Pollers.size(); }
    UnitPoller& Poller(size_t i) { return *m_Pollers[i]; }

private:
    ExporterOptions m_Options;
    std::vector<std::unique_ptr<UnitPoller>> m_Pollers;
    std::shared_ptr<FleetCollector> m_Collector;
    std::unique_ptr<prometheus::Exposer> m_Exposer;
    uint16_t m_Port = 0;
};

}  // namespace jvo::exporter
