#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "MonitorFixture.h"
#include "monitor/Dumps.h"
#include "monitor/ReadingsTable.h"

namespace jvo {
namespace {

// Written by hand from the readings dump's format.
const char* const kReadingsDump =
    "Panel Name, \"Panel A\"\r\n"
    "\r\n"
    ",I-RMS,I-PCT,I-THD,I-CF,VLL-RMS,VLN-RMS,V-THD,V-CF,Power,VA,PF\r\n"
    "X-Phase, 12.5 A, ----, 12.5 %, 1.50, 208.0 V, 120.0 V, 25.0 %, 1.50, 2.5 kW, 3.0 kVA, 0.75\r\n"
    "Y-Phase, 10.0 A, ----, 50.0 %, 1.25, 16.5 V, 9.5 V, ----, ----, 0.5 kW, 1.0 kVA, 0.50\r\n"
    "Z-Phase, 0.0 A, 0.0 %, ----, ----, 0.0 V, 0.0 V, ----, ----, ----, ----, ----\r\n"
    "Ground, 0.5 A,,,,,,,,--------,--------,--------\r\n"
    "Neutral, 1.5 A,,,,,,,Total,3.0 kW, 4.0 kVA, 0.75\r\n"
    "\r\n"
    "Branch No, Name, Type/Rating, Load, I1, I2, I3, Power, VA, PF, kWH\r\n"
    "1,\"Lights\",\"2-Pole 20A\",50.0 %,10.0000,100.00,---,1200 W,1300 VA,0.90,1.500\r\n"
    "2,\"Pump \"\"P1\"\"\",\"1-Pole 15A\",0.0 %,1234.5,---,---,0 W,0 VA,0.00,0.000\r\n"
    "\r\n"
    "Subfeed No, Name, Rating, Load, Ix, Iy, Iz, In, Ig, Power, VA, PF, kWH\r\n"
    "1,\"Sub, East\",100A,25.0 %,0.5000,0.0000,0.0000,0.0000,1.5000,2500 W,2600 VA,0.96,100.250\r\n"
    "\r\n"
    "Panel Name, \"B\"\r\n"
    "\r\n"
    ",I-RMS,I-PCT,I-THD,I-CF,VLL-RMS,VLN-RMS,V-THD,V-CF,Power,VA,PF\r\n"
    "X-Phase, 0.0 A, 0.0 %, ----, ----, 0.0 V, 0.0 V, ----, ----, ----, ----, ----\r\n"
    "Y-Phase, 0.0 A, 0.0 %, ----, ----, 0.0 V, 0.0 V, ----, ----, ----, ----, ----\r\n"
    "Z-Phase, 0.0 A, 0.0 %, ----, ----, 0.0 V, 0.0 V, ----, ----, ----, ----, ----\r\n"
    "Ground, 0.0 A,,,,,,,,--------,--------,--------\r\n"
    "Neutral, 0.0 A,,,,,,,Total,0.0 kW, 0.0 kVA, 0.00\r\n"
    "\r\n"
    "Branch No, Name, Type/Rating, Load, I1, I2, I3, Power, VA, PF, kWH\r\n"
    "\r\n"
    "Subfeed No, Name, Rating, Load, Ix, Iy, Iz, In, Ig, Power, VA, PF, kWH\r\n"
    "\r\n";

TEST(ReadingsDump, BothPanelsByteForByte) {
    EXPECT_EQ(ReadingsDump(test::FixtureConfig(), test::FixtureReadings()), kReadingsDump);

    UnitConfig c = test::FixtureConfig();
    c.m_Panels[0].m_MainFeed.m_Rating = 250;
    c.m_Panels[0].m_Subfeeds[0].m_Name = "Line\nTwo";
    const std::string dump = ReadingsDump(c, test::FixtureReadings());
    EXPECT_NE(dump.find("X-Phase, 12.5 A, 5.0 %, 12.5 %,"), std::string::npos);
    EXPECT_NE(dump.find("Y-Phase, 10.0 A, 4.0 %, 50.0 %,"), std::string::npos);
    EXPECT_NE(dump.find("\r\n1,\"Line\nTwo\",100A,"), std::string::npos);
}

// Splits a CSV line (RFC 4180 quotes) into its fields.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            out.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

TEST(ReadingsTable, OneCleanTableOfBothPanels) {
    const std::string table =
        ReadingsTable(test::FixtureConfig(), test::FixtureReadings(), "2026-12-09 07:45:12");
    std::istringstream in(table);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        ASSERT_EQ(line.back(), '\r');
        line.pop_back();
        rows.push_back(Fields(line));
    }
    // The header, panel A's main feed, 2 breakers and a subfeed, panel B's main feed.
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0][7], "Rating (A)");
    for (const auto& row : rows) {
        EXPECT_EQ(row.size(), rows[0].size());
        for (const std::string& f : row)
            EXPECT_TRUE(f.empty() || (f.front() != ' ' && f.back() != ' ')) << f;
    }
    EXPECT_EQ(rows[1][0], "Unit.1");  // the unit's name and the time on every row
    EXPECT_EQ(rows[5][1], "2026-12-09 07:45:12");
    // Breaker 2: one pole, so I2 and I3 are empty; the name's quotes are CSV's, not the dump's.
    EXPECT_EQ(std::vector<std::string>(rows[3].begin() + 2, rows[3].end()),
              (std::vector<std::string>{"A",     "breaker", "2",   "Pump \"P1\"",
                                        "1",     "15",      "0.0", "1234.500",
                                        "",      "",        "",    "",
                                        "",      "",        "",    "",
                                        "",      "",        "0.0", "0.0",
                                        "0.000", "0.000"}));
    EXPECT_EQ(rows[4][5], "Sub, East");
    EXPECT_EQ(rows[4][10], "");       // Iy has no CT
    EXPECT_EQ(rows[1][13], "0.500");  // the main feed's ground: its connected CT
    // The described dump is untouched by the table beside it.
    EXPECT_EQ(ReadingsDump(test::FixtureConfig(), test::FixtureReadings()), kReadingsDump);
}

TEST(EventLogDump, SectionsAndTheServiceLogOnlyForServiceUsers) {
    test::UseTimeZone("UTC");
    std::array<std::vector<EventRecord>, kEventLogCount> logs;
    logs[0] = {EventRecord{7, 2000, 0, 0, 0}, EventRecord{8, 2003, 86400 + 3661, 65535, 65506}};
    logs[2] = {EventRecord{1, 6001, 0, 0, 0}};
    const std::string panels =
        "PANEL A EVENT LOG\r\n"
        "\r\n"
        "Index, Timestamp, Event Description\r\n"
        "[00007], 01-01-70 00:00:00, \"JVO System Startup\"\r\n"
        "[00008], 01-02-70 01:01:01, \"JVO System Clock Set (-30 seconds)\"\r\n"
        "\r\n"
        "PANEL B EVENT LOG\r\n"
        "\r\n"
        "Index, Timestamp, Event Description\r\n"
        "\r\n";
    EXPECT_EQ(EventLogDump(logs, false), panels);
    EXPECT_EQ(EventLogDump(logs, true),
              panels +
                  "SERVICE EVENT LOG\r\n"
                  "\r\n"
                  "Index, Timestamp, Event Description\r\n"
                  "[00001], 01-01-70 00:00:00, \"Panel Metering Reset\"\r\n"
                  "\r\n");

    std::array<EventLogStore, kEventLogCount> stores;
    for (int log = 0; log < kEventLogCount; ++log)
        for (const EventRecord& e : logs[log])
            stores[log].AppendInitial(e);
    EXPECT_EQ(EventLogDump(stores, true), EventLogDump(logs, true));
}

TEST(ConfigDump, CleanedNamesAndCrLfLines) {
    UnitConfig c = test::FixtureConfig();
    c.m_Panels[0].m_Breakers[0].m_Name = "Lights.North..";
    const std::string dump = MonitorConfigDump(c);
    EXPECT_EQ(
        dump.rfind("Schema Version: 4\r\n\r\nUnit Configuration\r\n\r\nUnit Name: Unit 1\r\n", 0),
        0u);
    const std::string line =
        "Breaker # 1: " + std::string(20, ' ') + "Lights North   20  0 2 [  5   6   7]";
    EXPECT_NE(dump.find(line), std::string::npos);
    EXPECT_NE(dump.find("\r\nCT #118:    0:0     0  0     0.0000A (0)\r\n"), std::string::npos);
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < dump.size(); ++i)
        if (dump[i] == '\n') {
            ++lf;
            crlf += i > 0 && dump[i - 1] == '\r';
        }
    EXPECT_EQ(lf, crlf);
    EXPECT_EQ(c.m_Panels[0].m_Breakers[0].m_Name, "Lights.North..");  // the caller's copy stays
}

TEST(DumpFile, WritesExactBytesAndFailsWithoutAFolder) {
    const char* tmp = std::getenv("JVO_TEST_TMP");
    const std::string dir = tmp ? tmp : "/tmp";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/readings.csv";
    ASSERT_TRUE(WriteDumpFile(path, "a\r\nb\r\n"));
    std::ifstream in(path, std::ios::binary);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "a\r\nb\r\n");
    EXPECT_FALSE(WriteDumpFile(dir + "/no/such/folder/x.csv", "x"));
    EXPECT_FALSE(WriteDumpFile("/dev/full", std::string(100000, 'x')));  // a failed write counts
    EXPECT_EQ(CreateFileFailedText("/x"), "Could not create output file: /x");
}

}  // namespace
}  // namespace jvo
