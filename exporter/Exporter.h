#pragma once
// The exporter: one UnitPoller per configured unit and the HTTP server that serves their metrics
// at /metrics (GET and HEAD) and a small page at /, behind the web configuration's basic
// authentication and over its TLS when it has them. Scrapes that come within a quarter second of
// each other share one text (and its gzip encoding): scrapers that come at once would otherwise
// each wait for every build on the one loop thread. A build remakes only the parts of units whose
// view changed (MetricsText).
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "exporter/BasicAuth.h"
#include "exporter/ExporterOptions.h"
#include "exporter/HttpServer.h"
#include "exporter/MetricsText.h"
#include "exporter/UnitPoller.h"

namespace jvo::exporter {

class Exporter {
public:
    explicit Exporter(ExporterOptions options, PollerTimings timings = {},
                      HttpTimings httpTimings = {});
    // Stop().
    ~Exporter();
    Exporter(const Exporter&) = delete;
    Exporter& operator=(const Exporter&) = delete;

    // Listens, then starts the pollers. False with the reason in `error` (in words for the user)
    // when nothing can listen on the address and port.
    bool Start(std::string& error);
    // Takes the units, TLS context and users of `options` (as read again from the files): a unit
    // whose entry is unchanged keeps its poller and its connection, the others are stopped or
    // started. Returns what changed, in words for the log; a new listen address is not taken and
    // is named there.
    std::string Reload(ExporterOptions options);
    // Stops the endpoint, then the pollers (each breaks off its transaction).
    void Stop();

    // The port listened on (the one given, or the one chosen for port 0).
    uint16_t Port() const { return m_Server.Port(); }
    size_t UnitCount() const;
    UnitPoller& Poller(size_t i);

private:
    HttpResponse Handle(const HttpRequest& request);
    // The text of /metrics (gzip-encoded with `gzip`): built afresh, or the one built less than
    // a quarter second ago.
    std::shared_ptr<const std::string> Metrics(bool gzip);
    std::vector<std::shared_ptr<UnitPoller>> Pollers() const;
    std::shared_ptr<BasicAuth> Auth() const;

    ExporterOptions m_Options;
    const PollerTimings m_Timings;
    // The pollers and the users; scrapes copy the pointers under it, nothing waits holding it.
    mutable std::mutex m_Lock;
    std::vector<std::shared_ptr<UnitPoller>> m_Pollers;
    std::shared_ptr<BasicAuth> m_Auth;
    // The last text of /metrics, its gzip encoding once asked for, and when it was built (loop
    // thread; Reload clears it under m_Lock); each unit's part of it.
    std::shared_ptr<const std::string> m_MetricsText;
    std::shared_ptr<const std::string> m_MetricsGzip;
    MetricsText m_Parts;
    std::chrono::steady_clock::time_point m_MetricsBuilt;
    bool m_HaveMetrics = false;
    HttpServer m_Server;
};

}  // namespace jvo::exporter
