// Clients that connect and then idle, or send their request a byte at a time, must not keep
// /metrics from anyone else; and the exporter answers exactly the paths it serves.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "exporter/Exporter.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/HttpClient.h"
#include "tests/exporter/ScrapeUtil.h"

namespace jvo::test {
namespace {

class LockoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
        exporter::ExporterOptions o;
        o.m_ListenPort = 0;
        std::string error;
        o.m_Units.emplace_back();
        ASSERT_TRUE(exporter::ParseUnitEntry("gone=com:9", o.m_Units.back(), error)) << error;
        ex = std::make_unique<exporter::Exporter>(o);
        ASSERT_TRUE(ex->Start(error)) << error;
    }
    TempDir dir;
    std::unique_ptr<exporter::Exporter> ex;
};

TEST_F(LockoutTest, IdleAndHalfSentConnectionsDelayNoScrape) {
    std::vector<int> idle;
    for (int i = 0; i < 10; ++i) {
        idle.push_back(ConnectLoopback(ex->Port()));
        ASSERT_GE(idle.back(), 0);
    }
    // A request header sent one byte every 5 s, for as long as the scrapes go on.
    std::atomic<bool> done{false};
    std::thread slow([&] {
        const int s = ConnectLoopback(ex->Port());
        const std::string header = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        for (size_t i = 0; i < header.size() && !done; ++i) {
            if (::send(s, &header[i], 1, MSG_NOSIGNAL) != 1) break;
            for (int t = 0; t < 50 && !done; ++t)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::close(s);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < 8; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto s = Samples(Scrape(ex->Port()));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(s.count("jvo_up{unit=\"gone\"}"), 1u) << "scrape " << i;
        EXPECT_LT(took, std::chrono::seconds(2)) << "scrape " << i;
        std::this_thread::sleep_for(std::chrono::seconds(1) - took);
    }
    done = true;
    slow.join();
    for (const int s : idle)
        ::close(s);
}

TEST_F(LockoutTest, ServesExactlyMetricsAndTheLandingPage) {
    const HttpAnswer get = Get(ex->Port(), "/metrics");
    ASSERT_EQ(get.status, 200);
    EXPECT_NE(get.body.find("jvo_up{unit=\"gone\"} 0"), std::string::npos) << get.body;
    EXPECT_NE(get.headers.find("text/plain; version=0.0.4"), std::string::npos) << get.headers;
    const HttpAnswer head = Get(ex->Port(), "/metrics", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(Get(ex->Port(), "/metrics?x=1").status, 200);
    for (const char* path : {"/metricsX", "/metrics/", "/metrics/x", "/favicon.ico", "//metrics"})
        EXPECT_EQ(Get(ex->Port(), path).status, 404) << path;
    const HttpAnswer post = Get(ex->Port(), "/metrics", "POST", "Content-Length: 0\r\n");
    EXPECT_EQ(post.status, 405);
    EXPECT_NE(post.headers.find("Allow: GET, HEAD"), std::string::npos) << post.headers;
    const HttpAnswer landing = Get(ex->Port(), "/");
    EXPECT_EQ(landing.status, 200);
    EXPECT_NE(landing.body.find("jvo-exporter"), std::string::npos) << landing.body;
    EXPECT_NE(landing.body.find("href=\"/metrics\""), std::string::npos) << landing.body;
}

}  // namespace
}  // namespace jvo::test
