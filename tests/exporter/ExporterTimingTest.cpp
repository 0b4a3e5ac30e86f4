// A unit that never answers must not slow down the others or the scrapes.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <chrono>

#include "exporter/Exporter.h"
#include "proxy/ProxyServer.h"
#include "sim/SimProxy.h"
#include "sim/SimSerial.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/ScrapeUtil.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

TEST(ExporterTimingTest, DeadUnitsDelayNeitherTheOthersNorTheScrapes) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
    ManualClock clock{10'000};
    sim::SimUnit live(clock, sim::MakeDemoConfig(), SeededOptions(), [] { return kNoon; });
    sim::SimUnit dead(clock, sim::MakeDemoConfig(), SeededOptions(), [] { return kNoon; });
    sim::SimSerialPort livePort(live);
    sim::SerialOptions silentLine;
    silentLine.faults.silent = true;
    sim::SimSerialPort deadPort(dead, silentLine);
    ASSERT_TRUE(livePort.Start());
    ASSERT_TRUE(deadPort.Start());
    sim::UnitFaults silent;
    silent.silent = true;
    sim::SimUnitBackend deadBackend(dead, silent);
    ProxyServerOptions so;
    so.port = 0;
    ProxyServer server(deadBackend, so);
    ASSERT_TRUE(server.Start());

    exporter::ExporterOptions o;
    o.m_ListenPort = 0;
    std::string error;
    for (const std::string& entry :
         {"silent-line=device:" + deadPort.DevicePath(),
          "silent-proxy=proxy:127.0.0.1:" + std::to_string(server.Port()),
          "live=device:" + livePort.DevicePath(), std::string("gone=com:9")}) {
        o.m_Units.emplace_back();
        ASSERT_TRUE(exporter::ParseUnitEntry(entry, o.m_Units.back(), error)) << error;
    }
    exporter::Exporter ex(o);
    ASSERT_TRUE(ex.Start(error)) << error;

    ASSERT_TRUE(WaitUntil([&] { return ex.Poller(2).Cycles() >= 3; }));
    for (int i = 0; i < 10; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const auto s = Samples(Scrape(ex.Port()));
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, std::chrono::seconds(2)) << "scrape " << i;
        EXPECT_EQ(s.at("jvo_up{unit=\"live\"}"), 1);
        EXPECT_EQ(s.at("jvo_up{unit=\"silent-line\"}"), 0);
        EXPECT_EQ(s.at("jvo_up{unit=\"silent-proxy\"}"), 0);
        EXPECT_EQ(s.at("jvo_up{unit=\"gone\"}"), 0);
        EXPECT_EQ(CountSeries(s, "jvo_ct_current_amperes{unit=\"live\""), kCtCount);
        // The live unit keeps cycling meanwhile: without pacing a cycle is far below a second.
        const uint64_t before = ex.Poller(2).Cycles();
        EXPECT_TRUE(WaitUntil([&] { return ex.Poller(2).Cycles() > before; }, 3000));
    }
    ex.Stop();
    deadBackend.Cancel();
    server.Stop();
}

}  // namespace
}  // namespace jvo::test
