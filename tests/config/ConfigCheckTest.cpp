#include "config/ConfigCheck.h"

#include <gtest/gtest.h>

#include "config/ConfigDump.h"
#include "config/Slots.h"
#include "tests/config/TestConfigs.h"

namespace jvo {
namespace {

using test::MakeValidConfig;

struct Outcome {
    int result = -1;
    std::string minor;
    std::string serious;
};

Outcome Check(UnitConfig& c, bool correct) {
    Outcome o;
    o.result = ConfigCheck(c, correct, &o.minor, &o.serious);
    return o;
}

// Local channel `local` of panel `p`.
CtRef Ch(int p, int local) {
    return static_cast<CtRef>(p * kCtPerPanel + local);
}
CtRecord& Ct(UnitConfig& c, int p, int local) {
    return c.m_Ct[Ch(p, local)];
}

constexpr const char* kNone = "None.\r\n";

TEST(ConfigCheck, CleanConfigurationHasNoFindings) {
    UnitConfig c = MakeValidConfig();
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.minor, kNone);
    EXPECT_EQ(o.serious, kNone);
    const UnitConfig before = c;
    EXPECT_EQ(ConfigCheck(c, true, nullptr, nullptr), 0);
    EXPECT_EQ(c, before);
}

TEST(ConfigCheck, LayoutOfInstalledPanelsOnly) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Layout = 7;
    c.m_Panels[1].m_Installed = 0;
    c.m_Panels[1].m_Layout = 7;
    c.m_Panels[1].m_MainFeed.m_Poles = 2;  // the uninstalled panel still takes part in stage 4
    const UnitConfig before = c;
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor,
              "Panel A: Layout is invalid (was 7 should be 0 or 1)\r\n"
              "Panel B: Main Feed pole count (was 2 should be 3)\r\n");
    EXPECT_EQ(o.serious, kNone);
    EXPECT_EQ(c, before);  // report only

    const Outcome fixed = Check(c, true);
    EXPECT_EQ(fixed.result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(fixed.minor, o.minor);
    EXPECT_EQ(c.m_Panels[0].m_Layout, 1);
    EXPECT_EQ(c.m_Panels[1].m_Layout, 7);
    EXPECT_EQ(c.m_Panels[1].m_MainFeed.m_Poles, 3);
    EXPECT_EQ(Check(c, false).result, 0);
}

TEST(ConfigCheck, CrossConfigurationReportedOnceAndCorrectionSeenLater) {
    UnitConfig c = MakeValidConfig();
    // Two references from panel A to free channels of panel B.
    c.m_Panels[0].m_Breakers[0].m_Ct[0] = Ch(1, 34);  // B Module 30
    c.m_Panels[0].m_Subfeeds[0].m_Ct[4] = Ch(1, 35);  // B Module 31
    Ct(c, 1, 34).m_VoltageIndex = 0;                  // phase X of panel A: right for slot 1
    Ct(c, 0, 56).m_SignalPath = 0;                    // Spare 1
    Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor,
              "Cross-configuration is required but not specified\r\n"
              "Panel A: CT 'Spare 1' has incorrect signal path: 0 (should be 11)\r\n");

    // Corrected first, the flag changes the channel names the later lines use.
    o = Check(c, true);
    EXPECT_EQ(o.result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(o.minor,
              "Cross-configuration is required but not specified\r\n"
              "Panel A: CT 'A-Spare 1' has incorrect signal path: 0 (should be 11)\r\n");
    EXPECT_EQ(c.m_Unit.m_CrossConfig, 1);
    EXPECT_EQ(Check(c, false).result, 0);
}

TEST(ConfigCheck, CrossConfigurationIgnoresReferencesThatAreNotInUse) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Breakers[0].m_Ct[1] = Ch(1, 40);   // beyond the breaker's single pole
    c.m_Panels[0].m_Breakers[10].m_Ct[0] = Ch(1, 40);  // entry beyond the count
    c.m_Panels[1].m_Subfeeds[5].m_Ct[0] = Ch(0, 40);
    EXPECT_EQ(Check(c, false).result, 0);
    c.m_Panels[1].m_MainFeed.m_Ct[5] = Ch(0, 40);  // all six main feed references count
    EXPECT_EQ(Check(c, false).minor, "Cross-configuration is required but not specified\r\n");
}

TEST(ConfigCheck, SignalPathsFollowTheBoards) {
    UnitConfig c = MakeValidConfig();
    Ct(c, 0, 56).m_SignalPath = 0;  // Spare 1
    // Panel A branch connector 2: LIB-G2 (Con1), every module on path 7 but the last.
    c.m_Panels[0].m_Boards[2] = 4;
    for (int local = 26; local <= 45; ++local)
        Ct(c, 0, local).m_SignalPath = 7;
    // Panel B: LIB-G1 main board, LIB-G1 (Con2) on connector 1 (13 channels on 8, then 8 on 7).
    c.m_Panels[1].m_Boards = {2, 3, 0};
    for (int local = 0; local <= 2; ++local)
        Ct(c, 1, local).m_SignalPath = 4;
    Ct(c, 1, 3).m_SignalPath = 5;  // Panel G (local 4) keeps 2: wrong, it is 5 behind LIB
    for (int local = 47; local <= 54; ++local)
        Ct(c, 1, local).m_SignalPath = 15;
    for (int local = 5; local <= 25; ++local)
        Ct(c, 1, local).m_SignalPath = local <= 17 ? 8 : 7;
    Ct(c, 1, 17).m_SignalPath = 7;  // Module 13, the 13th channel: should be 8
    Ct(c, 1, 18).m_SignalPath = 8;  // Module 14: should be 7
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor,
              "Panel A: CT 'Spare 1' has incorrect signal path: 0 (should be 11)\r\n"
              "Panel A: CT 'Module 42' has incorrect signal path: 10 (should be 7)\r\n"
              "Panel B: CT 'Panel G' has incorrect signal path: 2 (should be 5)\r\n"
              "Panel B: CT 'Large 9' has incorrect signal path: 3 (should be 15)\r\n"
              "Panel B: CT 'Module 13' has incorrect signal path: 7 (should be 8)\r\n"
              "Panel B: CT 'Module 14' has incorrect signal path: 8 (should be 7)\r\n");
    EXPECT_EQ(Check(c, true).result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(Ct(c, 1, 4).m_SignalPath, 5);
    EXPECT_EQ(Check(c, false).result, 0);

    // Uninstalled panels are not examined.
    Ct(c, 1, 57).m_SignalPath = 3;
    c.m_Panels[1].m_Installed = 0;
    EXPECT_EQ(Check(c, false).result, 0);
}

TEST(ConfigCheck, UnknownBoardsAreSeriousAndStopTheCheck) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Boards[0] = 9;
    Ct(c, 0, 0).m_SignalPath = 5;   // behind the unknown board: not examined
    Ct(c, 0, 57).m_SignalPath = 0;  // Spare 2 still is
    c.m_Panels[1].m_Boards[1] = 6;  // RETROFIT: all modules on path 9
    for (int local = 5; local <= 25; ++local)
        Ct(c, 1, local).m_SignalPath = 9;
    c.m_Panels[1].m_Boards[2] = 7;
    c.m_Panels[0].m_MainFeed.m_Poles = 2;        // stage 4: never reached
    c.m_Panels[0].m_Breakers[2].m_Position = 1;  // stage 5: never reached
    Ct(c, 1, 0).m_VoltageIndex = 0;              // stage 7: never reached
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR | CHECK_SERIOUS);
    EXPECT_EQ(o.minor, "Panel A: CT 'Spare 2' has incorrect signal path: 0 (should be 11)\r\n");
    EXPECT_EQ(o.serious,
              "Panel A: Has unknown main interface board type: 9\r\n"
              "Panel B: Branch connector 2 has unknown interface board type: 7\r\n");
}

TEST(ConfigCheck, FeedGeometryIsCorrected) {
    UnitConfig c = MakeValidConfig();
    SubfeedRecord& main = c.m_Panels[0].m_MainFeed;
    main.m_Poles = 2;
    main.m_Placement = 1;
    main.m_Position = 0;
    c.m_Panels[0].m_Subfeeds[0].m_Poles = 2;
    c.m_Panels[1].m_Subfeeds[1].m_Placement = 0;
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor,
              "Panel A: Main Feed pole count (was 2 should be 3)\r\n"
              "Panel A: Main Feed placement (was 1 should be 0)\r\n"
              "Panel A: Main Feed position (was 0 should be 1)\r\n"
              "Panel A: Subfeed 'SF-P' pole count (was 2 should be 3)\r\n"
              "Panel B: Subfeed 'SF-AUX' placement (was 0 should be 2)\r\n");
    EXPECT_EQ(o.serious, kNone);
    EXPECT_EQ(Check(c, true).result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(c, MakeValidConfig());
}

TEST(ConfigCheck, InvalidSubfeedPositionsAreSerious) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Subfeeds[0].m_Position = 43;
    c.m_Panels[1].m_Subfeeds[1].m_Position = 17;
    c.m_Panels[0].m_Breakers[2].m_Position = 1;  // slot clash: stage 5 is not reached
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_SERIOUS);
    EXPECT_EQ(o.minor, kNone);
    EXPECT_EQ(o.serious,
              "Panel A: Subfeed 'SF-P' in Panel has invalid position (43)\r\n"
              "Panel B: Subfeed 'SF-AUX' in Aux has invalid position (17)\r\n");
}

TEST(ConfigCheck, UndefinedAuxPositionsTakeTheLowestFreeOnes) {
    UnitConfig c = MakeValidConfig();
    PanelRecord& b = c.m_Panels[1];
    b.m_Subfeeds[1].m_Position = 0;
    SubfeedRecord& second = b.m_Subfeeds[2];
    second = b.m_Subfeeds[1];
    second.m_Name = "SF-AUX2";
    second.m_Ct = {Ch(1, 53), Ch(1, 54), Ch(1, 55), CT_NONE, CT_NONE, CT_NONE};
    for (int s = 0; s < 3; ++s)
        Ct(c, 1, 53 + s).m_VoltageIndex = static_cast<uint16_t>(3 + s);
    b.m_SubfeedCnt = 3;
    const std::string lines =
        "Panel B: Subfeed 'SF-AUX' in Aux has an undefined position (0)\r\n"
        "Panel B: Subfeed 'SF-AUX2' in Aux has an undefined position (0)\r\n";
    Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor, lines);
    EXPECT_EQ(b.m_Subfeeds[1].m_Position, 0);

    UnitConfig taken = c;
    o = Check(c, true);
    EXPECT_EQ(o.result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(o.minor, lines);
    EXPECT_EQ(b.m_Subfeeds[1].m_Position, 1);
    EXPECT_EQ(b.m_Subfeeds[2].m_Position, 2);
    EXPECT_EQ(Check(c, false).result, 0);

    // Positions already held by aux subfeeds are skipped; panel subfeeds hold none.
    taken.m_Panels[1].m_Subfeeds[0].m_Position = 1;  // SF-P stays in the panel at slot 1
    taken.m_Panels[1].m_Breakers[0].m_Position = 40;
    taken.m_Panels[1].m_Subfeeds[1].m_Position = 2;
    taken.m_Panels[1].m_Subfeeds[1].m_Placement = PLACEMENT_AUX;
    SubfeedRecord& third = taken.m_Panels[1].m_Subfeeds[2];
    third.m_Position = 0;
    Check(taken, true);
    EXPECT_EQ(third.m_Position, 1);
}

TEST(ConfigCheck, CorrectingRunCanFindWhatTheReportRunCannot) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Subfeeds[1].m_Placement = 7;
    c.m_Panels[0].m_Subfeeds[1].m_Position = 30;
    Outcome o = Check(c, false);
    // Left at placement 7 the position is not judged, and its phases follow slot 30.
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(
        o.minor,
        "Panel A: Subfeed 'SF-AUX' placement (was 7 should be 2)\r\n"
        "Panel A: Subfeed 'SF-AUX' signal #1 has wrong voltage index (is 0, should be 2)\r\n"
        "Panel A: Subfeed 'SF-AUX' signal #2 has wrong voltage index (is 1, should be 0)\r\n"
        "Panel A: Subfeed 'SF-AUX' signal #3 has wrong voltage index (is 2, should be 1)\r\n");
    o = Check(c, true);
    EXPECT_EQ(o.result, CHECK_MINOR | CHECK_CORRECTED | CHECK_SERIOUS);
    EXPECT_EQ(o.minor, "Panel A: Subfeed 'SF-AUX' placement (was 7 should be 2)\r\n");
    EXPECT_EQ(o.serious, "Panel A: Subfeed 'SF-AUX' in Aux has invalid position (30)\r\n");
    EXPECT_EQ(Ct(c, 0, 47).m_VoltageIndex, 0);  // stage 7 was not reached
}

TEST(ConfigCheck, SlotOccupancy) {
    UnitConfig c = MakeValidConfig();
    PanelRecord& a = c.m_Panels[0];
    a.m_Breakers[2].m_Position = 1;  // BR2 on slots 1 and 2, BR1 on 1
    a.m_Breakers[1].m_Position = 6;  // BR22 on 6..8, SF-P on 5..7
    PanelRecord& b = c.m_Panels[1];
    b.m_Breakers[0].m_Position = 41;  // 3 poles at 41: slot 43 does not exist
    b.m_Breakers[0].m_Poles = 3;
    b.m_Subfeeds[2] = b.m_Subfeeds[1];  // a second subfeed at aux position 1
    b.m_Subfeeds[3] = b.m_Subfeeds[1];
    b.m_Subfeeds[3].m_Name = "SF-X";
    b.m_Subfeeds[3].m_Placement = 9;  // left invalid in a report: claims aux position 60
    b.m_Subfeeds[3].m_Position = 60;
    b.m_SubfeedCnt = 4;
    Ct(c, 0, 0).m_VoltageIndex = 4;  // stage 7: never reached
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_SERIOUS | CHECK_MINOR);
    EXPECT_EQ(o.minor, "Panel B: Subfeed 'SF-X' placement (was 9 should be 2)\r\n");
    EXPECT_EQ(o.serious,
              "Panel A: Panel slot #1 has 2 breakers mapped to it\r\n"
              "Panel A: Panel slot #6 has 2 breakers mapped to it\r\n"
              "Panel A: Panel slot #7 has 2 breakers mapped to it\r\n"
              "Panel B: Auxiliary position #1 has 2 breakers mapped to it\r\n");
}

TEST(ConfigCheck, ChannelMapping) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Breakers[1].m_Ct[1] = CT_NONE;   // BR22 pole 2
    c.m_Panels[0].m_Breakers[0].m_Ct[0] = Ch(0, 0);  // BR1 on the main feed's Panel X
    c.m_Panels[0].m_Breakers[0].m_Ct[1] = CT_NONE;   // beyond BR1's single pole: fine
    c.m_Panels[1].m_Subfeeds[0].m_Ct[1] = CT_NONE;   // SF-P pole 2
    c.m_Panels[1].m_Subfeeds[0].m_Ct[4] = CT_NONE;   // ground, beyond the poles: fine
    // References that name no channel are neither counted nor looked up.
    c.m_Panels[1].m_Breakers[0].m_Ct[0] = 120;
    c.m_Panels[1].m_Subfeeds[1].m_Ct[5] = 500;
    c.m_Panels[1].m_MainFeed.m_Ct[5] = 0xFFFF;
    c.m_Unit.m_CrossConfig = 1;  // keep stage 2 quiet about them
    // The same reference twice in one subfeed counts twice.
    c.m_Panels[1].m_Subfeeds[1].m_Ct[4] = Ch(1, 50);
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_SERIOUS);
    EXPECT_EQ(o.serious,
              "Panel A: Breaker 'BR22' pole #2 is not mapped to any CT\r\n"
              "Panel B: Subfeed 'SF-P' pole #2 is not mapped to any CT\r\n"
              "CT 'A-Panel X' is used 2 times\r\n"
              "CT 'B-Large 4' is used 2 times\r\n");
    EXPECT_EQ(o.minor, kNone);
}

TEST(ConfigCheck, VoltageIndexes) {
    UnitConfig c = MakeValidConfig();
    Ct(c, 0, 1).m_VoltageIndex = 5;  // main feed signal 2 (Panel Y)
    Ct(c, 0, 3).m_VoltageIndex = 0;  // main feed signal 4 (neutral)
    // Panel B breaker at slot 0: phase (0 + 1 - 2) mod 3 = 2, so index 3 + 2.
    c.m_Panels[1].m_Breakers[0].m_Position = 0;
    Ct(c, 1, 11).m_VoltageIndex = 7;            // SF-P signal 3 at slot 7: phase X of panel B
    Ct(c, 1, 51).m_VoltageIndex = 3;            // SF-AUX signal 5 (ground)
    c.m_Panels[0].m_Breakers[0].m_Ct[0] = 126;  // names no channel: skipped
    c.m_Unit.m_CrossConfig = 1;
    Outcome o = Check(c, false);
    const std::string lines =
        "Panel A: Main breaker signal #2 has wrong voltage index (is 5, should be 1)\r\n"
        "Panel A: Main breaker signal #4 has wrong voltage index (is 0, should be 7)\r\n"
        "Panel B: Breaker 'BR1' pole #1 has wrong voltage index (is 3, should be 5)\r\n"
        "Panel B: Subfeed 'SF-P' signal #3 has wrong voltage index (is 7, should be 3)\r\n"
        "Panel B: Subfeed 'SF-AUX' signal #5 has wrong voltage index (is 3, should be 7)\r\n";
    EXPECT_EQ(o.result, CHECK_MINOR);
    EXPECT_EQ(o.minor, lines);
    o = Check(c, true);
    EXPECT_EQ(o.result, CHECK_MINOR | CHECK_CORRECTED);
    EXPECT_EQ(o.minor, lines);
    EXPECT_EQ(Ct(c, 1, 5).m_VoltageIndex, 5);
    EXPECT_EQ(Check(c, false).result, 0);

    // Only installed panels are examined.
    Ct(c, 1, 0).m_VoltageIndex = 0;
    c.m_Panels[1].m_Installed = 0;
    EXPECT_EQ(Check(c, false).result, 0);
}

TEST(ConfigCheck, ColumnSpansInOddEvenPanels) {
    UnitConfig c = MakeValidConfig();
    for (int p = 0; p < kPanelCount; ++p)
        c.m_Panels[p].m_Breakers[1].m_Position = 25;  // BR22
    // Panel A: BR1 becomes 2 poles at slot 21 (slots 21 and 22).
    BreakerRecord& br1 = c.m_Panels[0].m_Breakers[0];
    br1.m_Position = 21;
    br1.m_Poles = 2;
    br1.m_Ct = {Ch(0, 25), Ch(0, 40), CT_NONE};
    Ct(c, 0, 25).m_VoltageIndex = 2;
    Ct(c, 0, 40).m_VoltageIndex = 0;
    // Panel B: SF-P on slots 20..22 (same phases as on 5..7).
    c.m_Panels[1].m_Subfeeds[0].m_Position = 20;
    const Outcome o = Check(c, false);
    EXPECT_EQ(o.result, CHECK_SERIOUS);
    EXPECT_EQ(o.serious,
              "Panel A: Breaker 'BR1' spans the left and right columns\r\n"
              "Panel B: Subfeed 'SF-P' spans the left and right columns\r\n");

    UnitConfig sequential = c;
    for (PanelRecord& p : sequential.m_Panels)
        p.m_Layout = 0;
    EXPECT_EQ(Check(sequential, false).result, 0);

    // An invalid layout is not odd/even for this stage until it is corrected to 1.
    UnitConfig invalid = c;
    invalid.m_Panels[0].m_Layout = 3;
    invalid.m_Panels[1].m_Installed = 0;
    Outcome r = Check(invalid, false);
    EXPECT_EQ(r.result, CHECK_MINOR);
    r = Check(invalid, true);
    EXPECT_EQ(r.result, CHECK_MINOR | CHECK_CORRECTED | CHECK_SERIOUS);
    EXPECT_EQ(r.serious, "Panel A: Breaker 'BR1' spans the left and right columns\r\n");
}

// A valid configuration with a few random changes of the values the check looks at, including
// values far out of range.
UnitConfig Perturbed(std::mt19937& rng) {
    UnitConfig c = MakeValidConfig();
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto wild = [&](int usual) {
        return static_cast<uint16_t>(pick(4) == 0 ? rng() : static_cast<unsigned>(pick(usual)));
    };
    const int changes = 1 + pick(6);
    for (int n = 0; n < changes; ++n) {
        PanelRecord& panel = c.m_Panels[pick(2)];
        BreakerRecord& b = panel.m_Breakers[pick(kMaxBreakers)];
        SubfeedRecord& s = pick(5) == 0 ? panel.m_MainFeed : panel.m_Subfeeds[pick(kMaxSubfeeds)];
        switch (pick(14)) {
            case 0:
                panel.m_Layout = wild(3);
                break;
            case 1:
                panel.m_Boards[pick(3)] = wild(9);
                break;
            case 2:
                panel.m_Installed = static_cast<uint8_t>(pick(2));
                break;
            case 3:
                panel.m_BreakerCnt = static_cast<uint16_t>(pick(kMaxBreakers + 1));
                break;
            case 4:
                panel.m_SubfeedCnt = static_cast<uint16_t>(pick(kMaxSubfeeds + 1));
                break;
            case 5:
                b.m_Position = wild(45);
                break;
            case 6:
                b.m_Poles = wild(5);
                break;
            case 7:
                b.m_Ct[pick(3)] = pick(3) == 0 ? CT_NONE : wild(130);
                break;
            case 8:
                s.m_Placement = wild(4);
                break;
            case 9:
                s.m_Position = wild(45);
                break;
            case 10:
                s.m_Poles = wild(5);
                break;
            case 11:
                s.m_Ct[pick(6)] = pick(3) == 0 ? CT_NONE : wild(130);
                break;
            case 12:
                c.m_Ct[pick(kCtCount)].m_SignalPath = wild(16);
                break;
            case 13:
                c.m_Ct[pick(kCtCount)].m_VoltageIndex = wild(8);
                break;
        }
        if (pick(8) == 0) c.m_Unit.m_CrossConfig = 1;
    }
    return c;
}

bool Listed(const std::string& list) {
    return list != kNone;
}

// Properties over many configurations: a report leaves the configuration alone and its bits
// match its lists; once a correcting run finds nothing serious, nothing is left to report;
// sorting yields displayed order. Run under the sanitizers this also shows that no value in a
// configuration makes any of them read outside a table.
TEST(ConfigCheck, PropertiesOverPerturbedConfigurations) {
    int cleanAfterFix = 0;
    int serious = 0;
    for (uint32_t seed = 1; seed <= 600; ++seed) {
        std::mt19937 rng(seed);
        UnitConfig c = Perturbed(rng);
        const UnitConfig before = c;
        const Outcome report = Check(c, false);
        ASSERT_EQ(c, before) << seed;
        ASSERT_EQ((report.result & CHECK_CORRECTED) != 0, false) << seed;
        ASSERT_EQ((report.result & CHECK_MINOR) != 0, Listed(report.minor)) << seed;
        ASSERT_EQ((report.result & CHECK_SERIOUS) != 0, Listed(report.serious)) << seed;

        const Outcome fix = Check(c, true);
        ASSERT_EQ((fix.result & CHECK_MINOR) != 0, Listed(fix.minor)) << seed;
        ASSERT_EQ((fix.result & CHECK_CORRECTED) != 0, c != before) << seed;
        if (fix.result & CHECK_SERIOUS) {
            ++serious;
        } else {
            ++cleanAfterFix;
            ASSERT_EQ(Check(c, false).result, 0) << seed << "\n" << fix.minor;
        }

        for (PanelRecord& p : c.m_Panels) {
            SortBreakers(p, false);
            SortSubfeeds(p, false);
            ASSERT_FALSE(SortBreakers(p, true)) << seed;
            ASSERT_FALSE(SortSubfeeds(p, true)) << seed;
            for (int i = 1; i < p.UsedBreakers(); ++i)
                ASSERT_LE(SlotToDisplay(p, p.m_Breakers[i - 1].m_Position),
                          SlotToDisplay(p, p.m_Breakers[i].m_Position));
        }
        if (seed % 10 == 0) {
            ASSERT_FALSE(ConfigDump(c).empty());
        }
    }
    // Both outcomes must be well represented for the properties to mean something.
    EXPECT_GT(cleanAfterFix, 200);
    EXPECT_GT(serious, 100);
}

}  // namespace
}  // namespace jvo
