// jvo-exporter against two simulated units, one on a pty pinned as COM 4 and one behind a proxy
// server on a free loopback port, scraped over loopback HTTP.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "exporter/Exporter.h"
#include "monitor/NameCleaning.h"
#include "sim/SimSerial.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/ScrapeUtil.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {
namespace {

using exporter::UnitView;

std::string Series(const std::string& name,
                   const std::vector<std::pair<std::string, std::string>>& labels) {
    std::string s = name + "{";
    for (size_t i = 0; i < labels.size(); ++i)
        s += (i ? "," : "") + labels[i].first + "=\"" + labels[i].second + "\"";
    return s + "}";
}

// Float readings come back through a double in the text format; they must survive exactly.
void ExpectValue(const std::map<std::string, double>& samples, const std::string& key,
                 float expected) {
    const auto it = samples.find(key);
    ASSERT_NE(it, samples.end()) << key;
    EXPECT_EQ(static_cast<float>(it->second), expected) << key;
}

class ExporterTest : public ::testing::Test {
protected:
    static constexpr int kCom = 4;

    ExporterTest()
        : serialUnit(clock, sim::MakeDemoConfig(), SeededOptions(7), [] { return kNoon; }),
          proxyUnit(clock, sim::MakeDemoConfig(), SeededOptions(9), [] { return kNoon; }),
          proxy(proxyUnit) {}
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
        port = std::make_unique<sim::SimSerialPort>(serialUnit);
        ASSERT_TRUE(port->Start());
        ASSERT_TRUE(port->Pin(kCom, dir.File("ports")));
        ASSERT_TRUE(proxy.Start());
        exporter::ExporterOptions o;
        o.m_ListenPort = 0;
        std::string error;
        ASSERT_TRUE(exporter::ParseUnitEntry("cab1=com:4", Unit(o), error)) << error;
        ASSERT_TRUE(exporter::ParseUnitEntry("cab2=proxy:" + proxy.Address(), Unit(o), error))
            << error;
        exporter::PollerTimings t;
        t.retryFirstMs = 200;
        t.retryMaxMs = 1000;
        t.notAnsweringMs = 1500;
        ex = std::make_unique<exporter::Exporter>(o, t);
        ASSERT_TRUE(ex->Start(error)) << error;
    }
    void TearDown() override {
        ex.reset();
        proxy.Stop();
    }
    static exporter::UnitEntry& Unit(exporter::ExporterOptions& o) {
        o.m_Units.emplace_back();
        return o.m_Units.back();
    }
    std::map<std::string, double> Scraped() { return Samples(Scrape(ex->Port())); }
    // Waits until a scrape shows the unit up (or down) with (or without) its readings.
    bool WaitFor(const std::string& unit, bool up) {
        return WaitUntil([&] {
            const auto s = Scraped();
            const auto it = s.find(Series("jvo_up", {{"unit", unit}}));
            const int cts = CountSeries(s, "jvo_ct_current_amperes{unit=\"" + unit + "\"");
            return it != s.end() && it->second == (up ? 1 : 0) && cts == (up ? kCtCount : 0);
        });
    }

    TempDir dir;
    ManualClock clock{10'000};  // stands still: the units' readings do not change
    sim::SimUnit serialUnit;
    sim::SimUnit proxyUnit;
    std::unique_ptr<sim::SimSerialPort> port;
    SimProxyServer proxy;
    std::unique_ptr<exporter::Exporter> ex;
};

TEST_F(ExporterTest, ScrapedValuesAreTheReadingsOfTheCore) {
    ASSERT_TRUE(WaitFor("cab1", true));
    ASSERT_TRUE(WaitFor("cab2", true));
    const auto s = Scraped();
    for (size_t u = 0; u < 2; ++u) {
        const UnitView v = ex->Poller(u).View();
        ASSERT_TRUE(v.m_HaveReadings);
        const std::string& unit = v.m_Name;
        SCOPED_TRACE(unit);
        EXPECT_EQ(s.at(Series("jvo_unit_info",
                              {{"unit", unit}, {"firmware_build", "412"}, {"schema", "4"}})),
                  1);
        EXPECT_EQ(CountSeries(s, "jvo_ct_current_amperes{unit=\"" + unit + "\""), kCtCount);
        for (int ct = 0; ct < kCtCount; ++ct)
            ExpectValue(
                s, Series("jvo_ct_current_amperes", {{"unit", unit}, {"ct", std::to_string(ct)}}),
                v.m_Readings.m_Ct[ct].m_IRms);
        const sim::SimUnit& simUnit = u == 0 ? serialUnit : proxyUnit;
        const UnitConfig unitConfig = simUnit.Current();
        int poles = 0, alarms = 0;
        for (int p = 0; p < kPanelCount; ++p) {
            const std::string panel(1, static_cast<char>('A' + p));
            const PanelRecord& rec = v.m_Config.m_Panels[p];
            const PanelReadings& r = v.m_Readings.m_Panels[p];
            ExpectValue(s,
                        Series("jvo_panel_voltage_volts",
                               {{"unit", unit}, {"panel", panel}, {"phase", "Y"}}),
                        r.m_Vln[1]);
            alarms += 3 * (4 + 2);  // main feed and panel
            EXPECT_EQ(s.at(Series("jvo_panel_info", {{"unit", unit},
                                                     {"panel", panel},
                                                     {"name", rec.m_PanelName},
                                                     {"main_feed_name", rec.m_MainFeed.m_Name}})),
                      1);
            EXPECT_DOUBLE_EQ(
                s.at(Series("jvo_panel_energy_joules_total", {{"unit", unit}, {"panel", panel}})),
                static_cast<double>(r.m_MainEnergy) * 3.6e6);
            for (int i = 0; i < rec.UsedBreakers(); ++i) {
                const BreakerRecord& b = rec.m_Breakers[i];
                // The configured name as cleaned at load, and the row number from 1; the name is
                // a label of the info metric only.
                EXPECT_EQ(b.m_Name, CleanName(unitConfig.m_Panels[p].m_Breakers[i].m_Name));
                const std::string number = std::to_string(i + 1);
                EXPECT_EQ(s.at(Series("jvo_breaker_info", {{"unit", unit},
                                                           {"panel", panel},
                                                           {"breaker", number},
                                                           {"name", b.m_Name}})),
                          1);
                for (int j = 0; j < b.m_Poles && j < 3; ++j) {
                    if (!IsChannel(b.m_Ct[j])) continue;
                    ExpectValue(
                        s,
                        Series("jvo_breaker_current_amperes", {{"unit", unit},
                                                               {"panel", panel},
                                                               {"breaker", number},
                                                               {"pole", std::to_string(j + 1)}}),
                        v.m_Readings.m_Ct[b.m_Ct[j]].m_IRms);
                    ++poles;
                }
                // The kWh meter as joules.
                EXPECT_DOUBLE_EQ(
                    s.at(Series("jvo_breaker_energy_joules_total",
                                {{"unit", unit}, {"panel", panel}, {"breaker", number}})),
                    static_cast<double>(r.m_Breakers[i].m_Energy) * 3.6e6);
                EXPECT_EQ(s.at(Series("jvo_alarm_active", {{"unit", unit},
                                                           {"panel", panel},
                                                           {"item", "breaker"},
                                                           {"number", number},
                                                           {"kind", "over_current"},
                                                           {"mode", "latched"}})),
                          r.m_Breakers[i].m_Reading.m_OcAlarm.latched ? 1 : 0);
                alarms += 3 * 3;
            }
            for (int i = 0; i < rec.UsedSubfeeds(); ++i) {
                const SubfeedRecord& f = rec.m_Subfeeds[i];
                if (IsChannel(f.m_Ct[2]))
                    ExpectValue(
                        s,
                        Series("jvo_subfeed_current_amperes", {{"unit", unit},
                                                               {"panel", panel},
                                                               {"subfeed", std::to_string(i + 1)},
                                                               {"phase", "Z"}}),
                        v.m_Readings.m_Ct[f.m_Ct[2]].m_IRms);
                EXPECT_EQ(s.count(Series("jvo_subfeed_info", {{"unit", unit},
                                                              {"panel", panel},
                                                              {"subfeed", std::to_string(i + 1)},
                                                              {"name", f.m_Name}})),
                          1u);
                alarms += 3 * 4;
            }
        }
        EXPECT_GT(poles, 0);
        EXPECT_EQ(CountSeries(s, "jvo_breaker_current_amperes{unit=\"" + unit + "\""), poles);
        EXPECT_EQ(CountSeries(s, "jvo_alarm_active{unit=\"" + unit + "\""), alarms);
        EXPECT_GE(s.at("jvo_poll_cycle_seconds_count{unit=\"" + unit + "\"}"), 1);
        EXPECT_EQ(s.at("jvo_poll_errors_total{unit=\"" + unit + "\"}"), 0);
    }
    // The two units differ (other seeds), so no value was served under the wrong unit.
    EXPECT_NE(s.at(Series("jvo_ct_current_amperes", {{"unit", "cab1"}, {"ct", "0"}})),
              s.at(Series("jvo_ct_current_amperes", {{"unit", "cab2"}, {"ct", "0"}})));
}

TEST_F(ExporterTest, UpFallsWhenAUnitGoesAndReturnsWithIt) {
    ASSERT_TRUE(WaitFor("cab1", true));
    ASSERT_TRUE(WaitFor("cab2", true));

    // The serial unit's device goes away: cab1 is down and shows no readings; cab2 goes on.
    port->Stop();
    ASSERT_TRUE(WaitFor("cab1", false));
    auto s = Scraped();
    EXPECT_EQ(s.at("jvo_up{unit=\"cab2\"}"), 1);
    EXPECT_EQ(CountSeries(s, "jvo_ct_current_amperes{unit=\"cab2\""), kCtCount);
    EXPECT_EQ(CountSeries(s, "jvo_unit_info{unit=\"cab1\""), 0);
    EXPECT_EQ(CountSeries(s, "jvo_breaker_current_amperes{unit=\"cab1\""), 0);
    EXPECT_GT(s.at("jvo_poll_errors_total{unit=\"cab1\"}"), 0);

    // It comes back on the same COM number.
    port = std::make_unique<sim::SimSerialPort>(serialUnit);
    ASSERT_TRUE(port->Start());
    ASSERT_TRUE(port->Pin(kCom, dir.File("ports")));
    ASSERT_TRUE(WaitFor("cab1", true));

    // The unit behind the proxy falls silent, then answers again.
    sim::UnitFaults silent;
    silent.silent = true;
    proxy.backend.SetFaults(silent);
    ASSERT_TRUE(WaitFor("cab2", false));
    EXPECT_EQ(Scraped().at("jvo_up{unit=\"cab1\"}"), 1);
    proxy.backend.SetFaults({});
    ASSERT_TRUE(WaitFor("cab2", true));
    EXPECT_GT(Scraped().at("jvo_poll_errors_total{unit=\"cab2\"}"), 0);
}

// promtool (Debian's prometheus package) lints a real scrape and checks the example alert rules.
bool HavePromtool() {
    return std::system("command -v promtool >/dev/null 2>&1") == 0;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(ExporterTest, PromtoolFindsNothingToLintInAScrape) {
    if (!HavePromtool()) GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    ASSERT_TRUE(WaitFor("cab1", true));
    ASSERT_TRUE(WaitFor("cab2", true));
    std::ofstream(dir.File("scrape.txt")) << Scrape(ex->Port());
    const std::string command = "promtool check metrics <'" + dir.File("scrape.txt") + "' >'" +
                                dir.File("promtool.txt") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(dir.File("promtool.txt"));
    EXPECT_EQ(ReadText(dir.File("promtool.txt")), "");
}

TEST(ExporterDocsTest, PromtoolAcceptsAndRunsTheAlertRules) {
    if (!HavePromtool()) GTEST_SKIP() << "promtool is not installed (Debian package prometheus)";
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    // Checked, then fed series as the exporter serves them: the alerts fire and name the item.
    const std::string command =
        std::string("(cd '") + JVO_SOURCE_DIR +
        "' && promtool check rules docs/jvo-alerts.yml && cd tests/exporter "
        "&& promtool test rules jvo-alerts-test.yml) >'" +
        dir.File("out.txt") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(dir.File("out.txt"));
}

}  // namespace
}  // namespace jvo::test
