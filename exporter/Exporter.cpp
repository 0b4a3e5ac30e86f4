#include "exporter/Exporter.h"

#include "exporter/Gzip.h"
#include "link/OpenProblems.h"

namespace jvo::exporter {

namespace {

const char kLandingPage[] =
    "<!DOCTYPE html>\n"
    "<html><head><meta charset=\"utf-8\"><title>jvo-exporter</title></head>\n"
    "<body><h1>jvo-exporter</h1>\n"
    "<p>The readings and alarms of JVO units for Prometheus.</p>\n"
    "<p><a href=\"/metrics\">Metrics</a></p>\n"
    "</body></html>\n";

HttpResponse Answer(int status, std::string body) {
    HttpResponse r;
    r.m_Status = status;
    r.m_Body = std::move(body);
    return r;
}

}  // namespace

Exporter::Exporter(ExporterOptions options, PollerTimings timings, HttpTimings httpTimings)
    : m_Options(std::move(options)),
      m_Timings(timings),
      m_Auth(std::make_shared<BasicAuth>(m_Options.m_Web.m_Users)),
      m_Server([this](const HttpRequest& r) { return Handle(r); }, httpTimings) {
    for (const UnitEntry& entry : m_Options.m_Units)
        m_Pollers.push_back(std::make_shared<UnitPoller>(entry, timings));
}

Exporter::~Exporter() {
    Stop();
}

bool Exporter::Start(std::string& error) {
    if (!m_Server.Start(m_Options.m_ListenAddress, m_Options.m_ListenPort, m_Options.m_ServerTls,
                        error))
        return false;
    for (auto& p : Pollers())
        p->Start();
    return true;
}

void Exporter::Stop() {
    // The endpoint goes first, so that no scrape looks at a poller being stopped.
    m_Server.Stop();
    for (auto& p : Pollers())
        p->Stop();
}

std::string Exporter::Reload(ExporterOptions options) {
    std::vector<std::shared_ptr<UnitPoller>> next, gone = Pollers();
    int added = 0;
    for (const UnitEntry& entry : options.m_Units) {
        std::shared_ptr<UnitPoller> poller;
        for (auto it = gone.begin(); it != gone.end(); ++it)
            if ((*it)->Entry() == entry) {
                poller = *it;
                gone.erase(it);
                break;
            }
        if (!poller) {
            poller = std::make_shared<UnitPoller>(entry, m_Timings);
            poller->Start();
            ++added;
        }
        next.push_back(std::move(poller));
    }
    m_Server.SetTls(options.m_ServerTls);
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Pollers = next;
        m_Auth = std::make_shared<BasicAuth>(options.m_Web.m_Users);
        m_HaveMetrics = false;
    }
    // Stopped here, not by whichever scrape lets go of them last.
    for (auto& p : gone)
        p->Stop();
    std::string summary = std::to_string(next.size()) + " unit(s): " + std::to_string(added) +
                          " new, " + std::to_string(gone.size()) + " removed; " +
                          (options.m_ServerTls ? "TLS" : "plain HTTP") + ", " +
                          std::to_string(options.m_Web.m_Users.size()) + " user(s)";
    if (options.m_ListenAddress != m_Options.m_ListenAddress ||
        options.m_ListenPort != m_Options.m_ListenPort)
        summary += "; the new listen address " + options.m_ListenAddress + ":" +
                   std::to_string(options.m_ListenPort) + " is taken only at a restart";
    options.m_ListenAddress = m_Options.m_ListenAddress;
    options.m_ListenPort = m_Options.m_ListenPort;
    m_Options = std::move(options);
    return summary;
}

size_t Exporter::UnitCount() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Pollers.size();
}

UnitPoller& Exporter::Poller(size_t i) {
    std::lock_guard<std::mutex> lock(m_Lock);
    return *m_Pollers.at(i);
}

std::vector<std::shared_ptr<UnitPoller>> Exporter::Pollers() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Pollers;
}

std::shared_ptr<BasicAuth> Exporter::Auth() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Auth;
}

std::shared_ptr<const std::string> Exporter::Metrics(bool gzip) {
    constexpr auto kMetricsReuse = std::chrono::milliseconds(250);
    const auto now = std::chrono::steady_clock::now();
    std::shared_ptr<const std::string> text;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_HaveMetrics && now - m_MetricsBuilt < kMetricsReuse) {
            text = m_MetricsText;
            if (gzip && m_MetricsGzip) return m_MetricsGzip;
        }
    }
    if (!text) {
        const std::vector<std::shared_ptr<UnitPoller>> pollers = Pollers();
        std::vector<UnitView> views;
        views.reserve(pollers.size());
        for (size_t i = 0; i < pollers.size(); ++i)
            views.push_back(pollers[i]->View(m_Parts.Kept(i, pollers[i]->Entry().m_Name)));
        text = m_Parts.Build(views);
        std::lock_guard<std::mutex> lock(m_Lock);
        m_MetricsText = text;
        m_MetricsGzip.reset();
        m_MetricsBuilt = now;
        m_HaveMetrics = true;
    }
    if (!gzip) return text;
    std::string gzipped;
    if (!Gzip(*text, gzipped)) return nullptr;
    auto shared = std::make_shared<const std::string>(std::move(gzipped));
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_MetricsText == text) m_MetricsGzip = shared;
    return shared;
}

HttpResponse Exporter::Handle(const HttpRequest& request) {
    if (!Auth()->Allows(request.m_Authorization)) {
        HttpResponse r = Answer(401, "Unauthorized\n");
        r.m_Headers.emplace_back("WWW-Authenticate", "Basic realm=\"jvo-exporter\"");
        return r;
    }
    if (request.m_Path != "/metrics" && request.m_Path != "/") return Answer(404, "Not found\n");
    if (request.m_Method != "GET" && request.m_Method != "HEAD") {
        HttpResponse r = Answer(405, "Only GET and HEAD\n");
        r.m_Headers.emplace_back("Allow", "GET, HEAD");
        return r;
    }
    if (request.m_Path == "/") {
        HttpResponse r = Answer(200, kLandingPage);
        r.m_ContentType = "text/html; charset=utf-8";
        return r;
    }
    HttpResponse r = Answer(200, {});
    r.m_ContentType = "text/plain; version=0.0.4; charset=utf-8";
    r.m_Shared = Metrics(false);
    // Small texts go as they are; a text that could not be encoded too.
    if (request.m_AcceptsGzip && r.m_Shared->size() >= kGzipFrom)
        if (std::shared_ptr<const std::string> gzipped = Metrics(true)) {
            r.m_Shared = gzipped;
            r.m_SharedIsGzip = true;
        }
    return r;
}

}  // namespace jvo::exporter
