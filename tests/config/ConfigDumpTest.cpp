#include "config/ConfigDump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "tests/config/TestConfigs.h"

namespace jvo {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Right32(const std::string& name) {
    return name.size() >= 32 ? name : std::string(32 - name.size(), ' ') + name;
}

TEST(ConfigDump, UnitSection) {
    UnitConfig c;
    c.m_Unit.m_UnitName = "Unit 7";
    c.m_Unit.m_UnitAddr = 12;
    c.m_Unit.m_CrossConfig = 1;
    c.m_Unit.m_AdcFactor = 1.5f;
    c.m_Unit.m_VScaleFactor = -0.125f;
    c.m_Unit.m_IScaleFactor[15] = 1234.5f;
    c.m_Unit.m_IGainFactor = 2.0f;
    const std::string text = ConfigDump(c);
    std::string expected =
        "Schema Version: 4\n"
        "\n"
        "Unit Configuration\n"
        "\n"
        "Unit Name: Unit 7\n"
        "Unit Addr: 12\n"
        "Cross Config: YES\n"
        "AdcFactor: 1.500000\n"
        "VScaleFactor: -0.125000\n";
    for (int i = 0; i < 15; ++i)
        expected += "IScaleFactor[" + std::to_string(i) + "]: 0.000000\n";
    expected +=
        "IScaleFactor[15]: 1234.500000\n"
        "IGainFactor: 2.000000\n"
        "\n"
        "Panel A Configuration\n";
    EXPECT_EQ(text.substr(0, expected.size()), expected);
    c.m_Unit.m_CrossConfig = 0;
    EXPECT_NE(ConfigDump(c).find("Cross Config: NO\n"), std::string::npos);
}

TEST(ConfigDump, PanelSectionWithBreakersAndSubfeeds) {
    UnitConfig c = test::MakeValidConfig();
    PanelRecord& a = c.m_Panels[0];
    a.m_Password1 = "pw1";
    a.m_PanelSize = 42;
    a.m_RatedBy = 1;
    a.m_KvaRating = 75;
    a.m_Boards = {3, 5, 6};
    a.m_Reserved2 = 2, a.m_Reserved3 = 3, a.m_Reserved4 = 4, a.m_Reserved5 = 5;
    a.m_MainVoltageRating = 208;
    a.m_OverVoltageSetpoint = 110;
    a.m_UnderVoltageSetpoint = 90;
    a.m_NominalFrequency = 60;
    a.m_OverFrequencySetpoint = 61;
    a.m_UnderFrequencySetpoint = 59;
    a.m_HysteresisInterval = 30;
    a.m_MainFeed.m_OcAlarm = 80;
    a.m_MainFeed.m_OcWarning = 70;
    a.m_MainFeed.m_NeutralAlarm = 95;
    a.m_MainFeed.m_GroundAlarm = 5;
    a.m_MainFeed.m_Hysteresis = 5;
    BreakerRecord& b = a.m_Breakers[0];
    b.m_OcAlarm = 80, b.m_OcWarning = 75, b.m_UcAlarm = 0, b.m_Hysteresis = 5;
    a.m_Breakers[1].m_Name = std::string(40, 'L');  // longer than the column: written whole
    a.m_Breakers[3].m_Name = "unused";              // beyond the count: not listed
    a.m_Subfeeds[1].m_Rating = 1225;

    const std::vector<std::string> lines = Lines(ConfigDump(c));
    const std::vector<std::string> expected = {
        "Panel A Configuration",
        "",
        "PanelName: Panel One",
        "Password1: pw1",
        "Password2: ",
        "Installed: YES",
        "Layout: 1",
        "Panel Size: 42",
        "Rated By: 1",
        "KVA Rating: 75",
        "Interface Boards: 3 5 6",
        "Reserved2: 2",
        "Reserved3: 3",
        "Reserved4: 4",
        "Reserved5: 5",
        "BreakerCnt: 3",
        "SubfeedCnt: 2",
        "Main Voltage Rating: 208",
        "Over-Voltage Setpoint: 110",
        "Under-Voltage Setpoint: 90",
        "NominalFrequency: 60",
        "Over Frequency Setpoint: 61",
        "Under Frequncy Setpoint: 59",
        "Hysteresis Interval: 30 (seconds)",
        Right32("MAIN") + "  400 [0  1:3]  80  70  95   5  5 [  1   2   3   4   5 128]",
        "",
        "Breaker # 1: " + Right32("BR1") + "   20  1 1 [  6 128 128]   80   75    0  5",
        "Breaker # 2: " + std::string(40, 'L') + "   20 22 3 [ 27  28  29]    0    0    0  0",
        "Breaker # 3: " + Right32("BR2") + "   20  2 2 [  7   8 128]    0    0    0  0",
        "",
        "Subfeed # 1:" + Right32("SF-P") +
            "  100 [1  5:3]   0   0   0   0  0 [ 10  11  12  53 128 128]",
        "Subfeed # 2:" + Right32("SF-AUX") +
            " 1225 [2  1:3]   0   0   0   0  0 [ 48  49  50  51  52 128]",
        "",
        "Panel B Configuration",
    };
    // After the 26 lines of the schema and unit section and a blank line.
    ASSERT_GT(lines.size(), 27u + expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 27, lines.begin() + 27 + expected.size()),
              expected);
}

TEST(ConfigDump, EmptyPanelsAndChannelTable) {
    UnitConfig c;
    c.m_Ct[0] = {100, 5, 0, 10, 1, 1.25f};
    c.m_Ct[117] = {65535, 1, 7, 15, 0, -123456.789f};
    c.m_Panels[1].m_Breakers[0].m_Name = "hidden";  // count 0: not listed
    const std::string text = ConfigDump(c);
    const std::string mainLine =
        std::string(32, ' ') + "    0 [0  0:0]   0   0   0   0  0 [128 128 128 128 128 128]\n";
    // No breakers and no subfeeds: two blank lines in a row before the next panel.
    EXPECT_NE(text.find("Hysteresis Interval: 0 (seconds)\n" + mainLine + "\n\n\nPanel B"),
              std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    const std::string tail = "Hysteresis Interval: 0 (seconds)\n" + mainLine + "\n\n\nCT #  1: ";
    EXPECT_NE(text.find(tail), std::string::npos);

    const std::vector<std::string> lines = Lines(text);
    // 4 + 22 unit lines, 2 x (3 + 22 + 1 + 1 + 1) panel lines, the blank line, 118 channels.
    ASSERT_EQ(lines.size(), 26u + 2u * 28u + 1u + 118u);
    EXPECT_EQ(lines[lines.size() - 118], "CT #  1:  100:5     0 10     1.2500A (1)");
    EXPECT_EQ(lines[lines.size() - 117], "CT #  2:    0:0     0  0     0.0000A (0)");
    EXPECT_EQ(lines.back(), "CT #118: 65535:1     7 15 -123456.7891A (0)");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace jvo
