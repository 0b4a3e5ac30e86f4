// A real Prometheus (Debian's package, run from its binary with a configuration and data folder of
// the test's own) scrapes the exporter over TLS with a client certificate and basic
// authentication, and gets 401 without the password; the dashboard's queries run on what it
// stored.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "exporter/Exporter.h"
#include "sim/SimUnit.h"
#include "tests/Spawn.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/HttpClient.h"
#include "tests/exporter/SiteCa.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

extern char** environ;

namespace jvo::test {
namespace {

constexpr const char* kPrometheus = "/usr/bin/prometheus";

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string UrlEncoded(const std::string& s) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (isalnum(u) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

// A loopback port that was free a moment ago (Prometheus cannot be told to pick one).
uint16_t FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sa;
    uint16_t port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&sa), &length) == 0)
        port = ntohs(sa.sin_port);
    ::close(s);
    return port;
}

// The state of one scrape pool in /api/v1/targets: its health and last error.
std::string Pool(const std::string& targets, const std::string& pool) {
    const size_t at = targets.find("\"scrapePool\":\"" + pool + "\"");
    if (at == std::string::npos) return {};
    return targets.substr(at, targets.find("\"scrapePool\"", at + 1) - at);
}

// Every "expr" of the Grafana dashboard, with its variables set.
std::vector<std::string> DashboardQueries(const std::string& json) {
    std::vector<std::string> out;
    const std::string key = "\"expr\": \"";
    for (size_t at = json.find(key); at != std::string::npos; at = json.find(key, at + 1)) {
        std::string expr;
        for (size_t i = at + key.size(); i < json.size() && json[i] != '"'; ++i)
            expr += json[i] == '\\' ? json[++i] : json[i];
        for (const auto& [name, value] :
             {std::pair<std::string, std::string>{"$unit", "cab1"}, {"$mode", "filtered"}})
            for (size_t p = expr.find(name); p != std::string::npos; p = expr.find(name))
                expr.replace(p, name.size(), value);
        out.push_back(expr);
    }
    return out;
}

TEST(PrometheusTest, ScrapesOverTlsWithBasicAuthAndGets401Without) {
    if (::access(kPrometheus, X_OK) != 0)
        GTEST_SKIP() << kPrometheus << " is not installed (Debian package prometheus)";
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
    ASSERT_TRUE(MakeSiteCa(dir.Path())) << "see " << dir.File("openssl.log");

    ManualClock clock{10'000};
    sim::SimUnit unit(clock, sim::MakeDemoConfig(), SeededOptions(3), [] { return kNoon; });
    SimProxyServer proxy(unit);
    ASSERT_TRUE(proxy.Start());
    std::ofstream(dir.File("web.yml")) << "tls_server_config:\n"
                                          "  cert_file: localhost.crt\n"
                                          "  key_file: localhost.key\n"
                                          "  client_ca_file: ca.crt\n"
                                          "  client_auth_type: RequireAndVerifyClientCert\n"
                                          "basic_auth_users:\n"
                                          "  prometheus: "
                                       << Bcrypt("s3cret") << "\n";
    const std::string web = dir.File("web.yml"), route = "cab1=proxy:" + proxy.Address();
    const char* argv[] = {"jvo-exporter", "--listen",  ".:0",
                          "--web-config", web.c_str(), route.c_str()};
    exporter::ExporterOptions o;
    std::string error;
    ASSERT_EQ(exporter::ParseExporterArgs(6, argv, o, error), exporter::ParseStatus::OK) << error;
    exporter::Exporter ex(std::move(o));
    ASSERT_TRUE(ex.Start(error)) << error;

    const std::string tls =
        "    scheme: https\n"
        "    tls_config:\n"
        "      ca_file: " +
        dir.File("ca.crt") + "\n      cert_file: " + dir.File("prometheus.crt") +
        "\n      key_file: " + dir.File("prometheus.key") +
        "\n    static_configs:\n"
        "      - targets: ['127.0.0.1:" +
        std::to_string(ex.Port()) + "']\n";
    std::ofstream(dir.File("prometheus.yml"))
        << "global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
           "scrape_configs:\n"
           "  - job_name: jvo\n"
           "    basic_auth:\n      username: prometheus\n      password: s3cret\n"
        << tls << "  - job_name: jvo-no-password\n"
        << tls;
    const uint16_t port = FreePort();
    ASSERT_NE(port, 0);
    const std::string config = "--config.file=" + dir.File("prometheus.yml");
    const std::string data = "--storage.tsdb.path=" + dir.File("data");
    const std::string listen = "--web.listen-address=127.0.0.1:" + std::to_string(port);
    const std::string log = dir.File("prometheus.log");
    pid_t pid =
        test::Spawn(kPrometheus, {config, data, listen, "--log.level=warn"}, {"/dev/null", log});
    ASSERT_GT(pid, 0);
    const std::unique_ptr<pid_t, void (*)(pid_t*)> stop(&pid, [](pid_t* p) {
        ::kill(*p, SIGTERM);
        ::waitpid(*p, nullptr, 0);
    });

    std::string targets;
    const bool scraped = WaitUntil(
        [&] {
            targets = Get(port, "/api/v1/targets?state=active").body;
            return Pool(targets, "jvo").find("\"health\":\"up\"") != std::string::npos &&
                   Pool(targets, "jvo-no-password").find("401") != std::string::npos;
        },
        90000);
    ASSERT_TRUE(scraped) << targets << "\n" << ReadText(log);
    EXPECT_NE(Pool(targets, "jvo").find("\"scrapeUrl\":\"https://"), std::string::npos);
    EXPECT_NE(Pool(targets, "jvo-no-password").find("\"health\":\"down\""), std::string::npos);

    // What it stored: the unit up, its breakers with their names from the info metric.
    std::string answer;
    EXPECT_TRUE(WaitUntil(
        [&] {
            answer = Get(port, "/api/v1/query?query=" +
                                   UrlEncoded("jvo_up{job=\"jvo\",unit=\"cab1\"} == 1"))
                         .body;
            return answer.find("\"unit\":\"cab1\"") != std::string::npos;
        },
        30000))
        << answer;
    const std::vector<std::string> queries =
        DashboardQueries(ReadText(std::string(JVO_SOURCE_DIR) + "/docs/jvo-fleet-dashboard.json"));
    EXPECT_GE(queries.size(), 8u);
    for (const std::string& q : queries) {
        answer = Get(port, "/api/v1/query?query=" + UrlEncoded(q)).body;
        EXPECT_NE(answer.find("\"status\":\"success\""), std::string::npos) << q << "\n" << answer;
        if (q.find("jvo_breaker_current_amperes") != std::string::npos) {
            EXPECT_NE(answer.find("\"name\":\""), std::string::npos) << q << "\n" << answer;
        }
    }
    ex.Stop();
}

}  // namespace
}  // namespace jvo::test
