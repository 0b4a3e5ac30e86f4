// Adding and deleting breakers and subfeeds: channels, defaults, hardware classes and subfeed
// groups, channel set-up, ordered insertion, refusals and the deletion questions.
#include "tests/tool/ToolTestUtil.h"
#include "tool/BreakerOps.h"

namespace jvo::tool::test {
namespace {

UnitConfig Boards(uint16_t a, uint16_t b, bool cross) {
    UnitConfig c = sim::MakeFactoryConfig();
    c.m_Panels[0].m_Boards[0] = a;
    c.m_Panels[1].m_Boards[0] = b;
    c.m_Unit.m_CrossConfig = cross ? 1 : 0;
    return c;
}

TEST(BreakerRulesTest, NewBreakerChannels) {
    UnitConfig c = sim::MakeFactoryConfig();
    EXPECT_EQ(NewBreakerChannel(c, 0, 0, 0), 5);
    EXPECT_EQ(NewBreakerChannel(c, 1, 0, 0), 64);
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 0), 25);
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 1), 26);
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 2), 27);
    c.m_Panels[0].m_Boards[2] = 1;  // MODULE (Inverted) on branch connector 2
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 0), 25);
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 1), 46);
    EXPECT_EQ(NewBreakerChannel(c, 0, 20, 2), 45);
    EXPECT_EQ(NewBreakerChannel(c, 0, 41, 0), 26);
    EXPECT_EQ(NewBreakerChannel(c, 1, 21, 0), 26 + 59);  // panel B has its own connector
    c.m_Panels[1].m_Boards[2] = 1;
    EXPECT_EQ(NewBreakerChannel(c, 1, 21, 0), 46 + 59);
    // Nothing outside the 42 slots.
    EXPECT_EQ(NewBreakerChannel(c, 0, 41, 1), CT_NONE);
    EXPECT_EQ(NewBreakerChannel(c, 0, -1, 0), CT_NONE);
    EXPECT_EQ(NewBreakerChannel(c, 2, 0, 0), CT_NONE);
}

TEST(BreakerRulesTest, HardwareClassesAndTheirGroups) {
    EXPECT_EQ(HardwareClass(Boards(0, 1, false), 0), 0);
    EXPECT_EQ(HardwareClass(Boards(0, 1, false), 1), 1);
    EXPECT_EQ(HardwareClass(Boards(0, 1, true), 1), 2);
    EXPECT_EQ(HardwareClass(Boards(2, 2, false), 0), 3);
    EXPECT_EQ(HardwareClass(Boards(2, 2, false), 1), 4);
    EXPECT_EQ(HardwareClass(Boards(2, 2, true), 0), 5);
    EXPECT_EQ(HardwareClass(Boards(3, 3, false), 0), 6);
    EXPECT_EQ(HardwareClass(Boards(3, 3, false), 1), 7);
    EXPECT_EQ(HardwareClass(Boards(3, 3, true), 1), 8);
    EXPECT_EQ(HardwareClass(Boards(1, 0, false), 0), kHardwareClassNone);
    EXPECT_EQ(HardwareClass(Boards(2, 3, true), 0), kHardwareClassNone);
    EXPECT_EQ(SubfeedGroupMask(kHardwareClassNone), 0u);
    EXPECT_EQ(SubfeedGroupMask(5), 0x7FFF8u);

    const SubfeedCandidates cross = ListSubfeedCandidates(Boards(2, 2, true), 1);
    EXPECT_EQ(cross.m_Count, 16);
    EXPECT_EQ(cross.m_Groups[0], 3);
    EXPECT_EQ(cross.m_Groups[15], 18);
    EXPECT_EQ(cross.m_EnableMask, 0xFFFF);
    const SubfeedCandidates pbvi = ListSubfeedCandidates(Boards(0, 1, true), 0);
    EXPECT_EQ(pbvi.m_Count, 3);
    EXPECT_EQ(pbvi.m_Groups[2], 2);
}

class BreakerOpsTest : public ::testing::Test {
protected:
    void Start(const UnitConfig& c) { StartOffline(dlg, ui, c); }
    void TearDown() override { EXPECT_TRUE(ui.AllAnswered()); }
    const PanelRecord& Panel(int p) const { return dlg.Config().m_Panels[p]; }
    static Slot PanelSlot(int index) { return Slot{SLOT_PANEL, 0, index, nullptr, 0}; }
    static Slot AuxSlot(int group) { return Slot{SLOT_AUX, group, 0, nullptr, 0}; }

    ScriptedUi ui;
    BasicDlg dlg{ui};
};

TEST_F(BreakerOpsTest, AddBreakerDefaultsChannelsAndOrder) {
    Start(LibConfig());
    EXPECT_EQ(dlg.AddBreaker(0, SlotToDisplay(Panel(0), 11), 1, 10), 0);
    // Displayed 1 goes before the breaker displayed 21, one displayed 42 after it.
    EXPECT_EQ(dlg.AddBreaker(0, 1, 3, 0), 0);
    EXPECT_EQ(dlg.AddBreaker(0, 40, 2, 40), 2);
    const PanelRecord& a = Panel(0);
    ASSERT_EQ(a.m_BreakerCnt, 3);
    const BreakerRecord& first = a.m_Breakers[0];
    EXPECT_EQ(first.m_Name, "BREAKER #01");
    EXPECT_EQ(first.m_Rating, 20);
    EXPECT_EQ(first.m_Position, 1);
    EXPECT_EQ(first.m_Poles, 3);
    EXPECT_EQ(first.m_Ct, (std::array<CtRef, 3>{5, 6, 7}));
    EXPECT_EQ(first.m_OcAlarm, 80);
    EXPECT_EQ(first.m_OcWarning, 75);
    EXPECT_EQ(first.m_UcAlarm, 0);
    EXPECT_EQ(first.m_Hysteresis, 5);
    EXPECT_EQ(a.m_Breakers[1].m_Name, "BREAKER #21");
    const BreakerRecord& last = a.m_Breakers[2];
    EXPECT_EQ(last.m_Name, "BREAKER #40");
    EXPECT_EQ(last.m_Ct, (std::array<CtRef, 3>{45, 46, CT_NONE}));
    EXPECT_EQ(CtUseCount(dlg.Config(), CT_NONE), 0);
    // The correcting check after each addition gave the channels their phases' voltages.
    EXPECT_EQ(dlg.Config().m_Ct[5].m_VoltageIndex, 0);
    EXPECT_EQ(dlg.Config().m_Ct[6].m_VoltageIndex, 1);
    EXPECT_EQ(dlg.Config().m_Ct[7].m_VoltageIndex, 2);
    UnitConfig check = dlg.Config();
    EXPECT_EQ(ConfigCheck(check, false, nullptr, nullptr), 0);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BreakerOpsTest, AddBreakerRefusals) {
    UnitConfig c = LibConfig();
    c.m_Panels[0].m_MainFeed.m_Ct[5] = 6;  // "Module 2" taken by the main feed's sixth signal
    Start(c);
    const UnitConfig before = dlg.Config();
    EXPECT_EQ(dlg.AddBreaker(0, 1, 2, 0), -1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Cannot add breaker: CT 'Module 2' is already in use");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    // No room: past the last slot, or across the columns of an odd/even panel.
    EXPECT_EQ(dlg.AddBreaker(0, 42, 2, 41), -1);
    EXPECT_EQ(dlg.AddBreaker(0, 41, 2, 20), -1);
    EXPECT_EQ(dlg.AddBreaker(0, 1, 4, 0), -1);
    EXPECT_EQ(ui.Count("Cannot add breaker: there is no room"), 3);
    EXPECT_EQ(dlg.AddBreaker(2, 1, 1, 0), -1);
    EXPECT_EQ(dlg.Config(), before);
    // Across the columns of a sequential panel is fine.
    EXPECT_EQ(dlg.AddBreaker(1, 21, 2, 20), 0);
    // An occupied slot is refused.
    EXPECT_EQ(dlg.AddBreaker(1, 22, 1, 21), -1);
}

TEST_F(BreakerOpsTest, FullTablesRefuseAdditionsAndWriteNothing) {
    UnitConfig c = LibConfig();
    PanelRecord& b = c.m_Panels[1];
    for (int i = 0; i < kMaxBreakers; ++i) {
        b.m_Breakers[i].m_Position = static_cast<uint16_t>(i + 1);
        b.m_Breakers[i].m_Poles = 1;
        b.m_Breakers[i].m_Ct[0] = CT_NONE;
    }
    b.m_BreakerCnt = kMaxBreakers;
    PanelRecord& a = c.m_Panels[0];
    for (int i = 0; i < kMaxSubfeeds; ++i) {
        a.m_Subfeeds[i].m_Placement = PLACEMENT_AUX;
        a.m_Subfeeds[i].m_Position = static_cast<uint16_t>(i + 1);
        a.m_Subfeeds[i].m_Poles = 3;
    }
    a.m_SubfeedCnt = kMaxSubfeeds;
    Start(c);
    const UnitConfig before = dlg.Config();
    EXPECT_EQ(dlg.AddBreaker(1, 1, 1, 0), -1);
    EXPECT_EQ(ui.messages.back().text, "Cannot add breaker: panel B already has 42 breakers");
    EXPECT_TRUE(dlg.CanAddSubfeed(0));  // groups are free; the table is not
    EXPECT_EQ(dlg.AddSubfeed(0, AuxSlot(0)), -1);
    EXPECT_EQ(ui.messages.back().text, "Cannot add subfeed: panel A already has 16 subfeeds");
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
    EXPECT_TRUE(ui.subfeedMasks.empty());
    EXPECT_EQ(dlg.Config(), before);
}

TEST_F(BreakerOpsTest, AddSubfeedSetsUpItsChannels) {
    UnitConfig c = Boards(2, 2, true);
    ConfigCheck(c, true, nullptr, nullptr);
    Start(c);
    ui.subfeedAnswers.push_back({true, 0, 0});
    const int at = dlg.AddSubfeed(1, AuxSlot(4));
    ASSERT_EQ(at, 0);
    ASSERT_EQ(ui.subfeedMasks.size(), 1u);
    EXPECT_EQ(ui.subfeedMasks[0], 0xFFFF);
    EXPECT_EQ(ui.subfeedFirst[0], 0);
    const SubfeedRecord& s = Panel(1).m_Subfeeds[0];
    EXPECT_EQ(s.m_Name, "SUBFEED #01");
    EXPECT_EQ(s.m_Rating, 100);
    EXPECT_EQ(s.m_Placement, PLACEMENT_AUX);
    EXPECT_EQ(s.m_Position, 5);
    EXPECT_EQ(s.m_Poles, 3);
    EXPECT_EQ(s.m_OcAlarm, 80);
    EXPECT_EQ(s.m_OcWarning, 70);
    EXPECT_EQ(s.m_NeutralAlarm, 95);
    EXPECT_EQ(s.m_GroundAlarm, 5);
    EXPECT_EQ(s.m_Hysteresis, 5);
    EXPECT_EQ(s.m_Ct, (std::array<CtRef, 6>{5, 6, 7, 8, 39, CT_NONE}));
    const auto& ct = dlg.Config().m_Ct;
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(ct[5 + j].m_Primary, 200);  // LIB-G1, 100 A
        EXPECT_EQ(ct[5 + j].m_Secondary, 5);
        EXPECT_EQ(ct[5 + j].m_VoltageIndex, 3 + j);  // added to panel B
        EXPECT_EQ(ct[5 + j].m_ChannelAmps, static_cast<float>(100 * 0.01));
        EXPECT_EQ(ct[5 + j].m_Option, 0);
    }
    EXPECT_EQ(ct[8].m_Primary, 200);
    EXPECT_EQ(ct[8].m_VoltageIndex, 7);
    EXPECT_EQ(ct[8].m_ChannelAmps, static_cast<float>(100 * 0.0175));
    EXPECT_EQ(ct[39].m_Primary, 100);
    EXPECT_EQ(ct[39].m_ChannelAmps, 0.25f);
    EXPECT_EQ(ct[39].m_SignalPath, c.m_Ct[39].m_SignalPath);
    // The group is taken now: candidate 0 is no longer offered.
    ui.subfeedAnswers.push_back({false, 0, 0});
    EXPECT_EQ(dlg.AddSubfeed(1, AuxSlot(5)), -1);
    EXPECT_EQ(ui.subfeedMasks[1], 0xFFFE);
    EXPECT_EQ(ui.subfeedFirst[1], 1);
}

TEST_F(BreakerOpsTest, SubfeedSizesAndPbviSecondaries) {
    Start(Boards(0, 1, true));  // class 2: the Large groups, secondaries of 1
    ui.subfeedAnswers.push_back({true, 0, 1});
    ASSERT_EQ(dlg.AddSubfeed(0, AuxSlot(1)), 0);
    const auto& ct = dlg.Config().m_Ct;
    EXPECT_EQ(ct[47].m_Primary, 200);
    EXPECT_EQ(ct[47].m_Secondary, 1);
    EXPECT_EQ(ct[47].m_ChannelAmps, 2.25f);
    EXPECT_EQ(ct[50].m_Primary, 500);
    EXPECT_EQ(ct[50].m_ChannelAmps, 3.9375f);
    EXPECT_EQ(ct[51].m_ChannelAmps, 0.25f);
    ui.subfeedAnswers.push_back({true, 1, 2});
    ASSERT_EQ(dlg.AddSubfeed(0, AuxSlot(0)), 0);  // position 1 goes before position 2
    EXPECT_EQ(Panel(0).m_Subfeeds[0].m_Name, "SUBFEED #02");
    EXPECT_EQ(Panel(0).m_Subfeeds[0].m_Rating, 400);
    EXPECT_EQ(ct[106].m_Primary, 500);
    EXPECT_EQ(ct[109].m_Primary, 500);
    EXPECT_EQ(ct[106].m_ChannelAmps, 4.0f);
    EXPECT_EQ(ct[109].m_ChannelAmps, static_cast<float>(400 * 0.0175));
}

TEST_F(BreakerOpsTest, SubfeedsStayOrderedByPlacementThenPosition) {
    Start(LibConfig());  // panel A odd/even
    ui.subfeedAnswers.push_back({true, 0, 0});
    ASSERT_EQ(dlg.AddSubfeed(0, AuxSlot(3)), 0);
    ui.subfeedAnswers.push_back({true, 1, 0});
    ASSERT_EQ(dlg.AddSubfeed(0, PanelSlot(24)), 0);  // panel slots before auxiliary ones
    ui.subfeedAnswers.push_back({true, 2, 0});
    // Internal slot 4 displays as 7, slot 25 as 8: 7 goes first.
    ASSERT_EQ(dlg.AddSubfeed(0, PanelSlot(3)), 0);
    ui.subfeedAnswers.push_back({true, 3, 0});
    ASSERT_EQ(dlg.AddSubfeed(0, AuxSlot(0)), 2);
    const PanelRecord& a = Panel(0);
    ASSERT_EQ(a.m_SubfeedCnt, 4);
    EXPECT_EQ(a.m_Subfeeds[0].m_Position, 4);
    EXPECT_EQ(a.m_Subfeeds[0].m_Placement, PLACEMENT_PANEL);
    EXPECT_EQ(a.m_Subfeeds[1].m_Position, 25);
    EXPECT_EQ(a.m_Subfeeds[2].m_Position, 1);
    EXPECT_EQ(a.m_Subfeeds[3].m_Position, 4);
    PanelRecord copy = a;
    EXPECT_FALSE(SortSubfeeds(copy, true));
    UnitConfig check = dlg.Config();
    EXPECT_EQ(ConfigCheck(check, false, nullptr, nullptr), 0);
}

TEST_F(BreakerOpsTest, SubfeedAdditionsThatEndSilently) {
    Start(sim::MakeDemoConfig());  // classes 0 and 1, whose only groups are in use
    EXPECT_FALSE(dlg.CanAddSubfeed(0));
    EXPECT_EQ(dlg.AddSubfeed(0, AuxSlot(3)), -1);
    StartOffline(dlg, ui, Boards(1, 0, false));  // class 9
    EXPECT_FALSE(dlg.CanAddSubfeed(1));
    EXPECT_EQ(dlg.AddSubfeed(1, AuxSlot(3)), -1);
    EXPECT_TRUE(ui.subfeedMasks.empty());

    Start(LibConfig());
    const UnitConfig before = dlg.Config();
    ui.subfeedAnswers.push_back({false, 0, 0});  // cancelled
    ui.subfeedAnswers.push_back({true, 8, 0});   // candidate past the list
    ui.subfeedAnswers.push_back({true, 0, 3});   // size past the list
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dlg.AddSubfeed(0, AuxSlot(3)), -1);
    EXPECT_EQ(dlg.Config(), before);
    EXPECT_TRUE(ui.messages.empty());
    // An occupied auxiliary position, and the main feed's slots, are refused.
    ui.subfeedAnswers.push_back({true, 0, 0});
    ASSERT_EQ(dlg.AddSubfeed(0, AuxSlot(3)), 0);
    EXPECT_EQ(dlg.AddSubfeed(0, AuxSlot(3)), -1);
    EXPECT_EQ(ui.messages.back().text, "Cannot add subfeed: auxiliary position 4 is not free");
    EXPECT_EQ(dlg.AddSubfeed(0, Slot{SLOT_MAIN, 0, 0, nullptr, 0}), -1);
}

TEST_F(BreakerOpsTest, DeleteBreakerAndSubfeedAskFirst) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    const BreakerRecord victim = Panel(0).m_Breakers[0];
    const BreakerRecord next = Panel(0).m_Breakers[1];
    const int count = Panel(0).m_BreakerCnt;
    ui.Answer("", MsgResult::No);
    EXPECT_FALSE(dlg.DeleteBreaker(0, 0));
    EXPECT_EQ(ui.messages.back().text,
              "Are you sure you want to delete this Breaker?\n\n\t" + victim.m_Name);
    EXPECT_EQ(ui.messages.back().buttons, MsgButtons::YesNo);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::None);
    EXPECT_EQ(Panel(0).m_BreakerCnt, count);
    ui.Answer("delete this Breaker", MsgResult::Yes);
    EXPECT_TRUE(dlg.DeleteBreaker(0, 0));
    EXPECT_EQ(Panel(0).m_BreakerCnt, count - 1);
    EXPECT_EQ(Panel(0).m_Breakers[0], next);
    for (int k = 0; k < victim.m_Poles; ++k) {
        EXPECT_EQ(dlg.Config().m_Ct[victim.m_Ct[k]].m_VoltageIndex, 7);
        EXPECT_EQ(CtUseCount(dlg.Config(), victim.m_Ct[k]), 0);
    }
    EXPECT_FALSE(dlg.DeleteBreaker(0, count - 1));  // past the used entries: nothing asked

    const SubfeedRecord sub = Panel(1).m_Subfeeds[0];
    ui.Answer("Are you sure you want to delete this Subfeed?\n\n\t" + sub.m_Name, MsgResult::Yes);
    EXPECT_TRUE(dlg.DeleteSubfeed(1, 0));
    EXPECT_EQ(Panel(1).m_SubfeedCnt, 0);
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(dlg.Config().m_Ct[sub.m_Ct[j]].m_VoltageIndex, 7);
}

TEST_F(BreakerOpsTest, DeletingTheOnlyBreaker) {
    Start(LibConfig());
    ASSERT_EQ(dlg.AddBreaker(1, 5, 2, 4), 0);
    ui.Answer("BREAKER #05", MsgResult::Yes);
    EXPECT_TRUE(dlg.DeleteBreaker(1, 0));
    EXPECT_EQ(Panel(1).m_BreakerCnt, 0);
    EXPECT_EQ(dlg.Config().m_Ct[59 + 9].m_VoltageIndex, 7);
    EXPECT_EQ(dlg.Config().m_Ct[59 + 10].m_VoltageIndex, 7);
}

TEST_F(BreakerOpsTest, RememberedSelectionsFollowInsertionsAndDeletions) {
    Start(LibConfig());
    ASSERT_EQ(dlg.AddBreaker(1, 11, 1, 10), 0);
    dlg.OnCommand(IDC_PANEL_B);
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_BREAKER));
    dlg.OnCommand(IDC_VIEW_AUX);
    // Another breaker goes before the selected one; the selection follows its breaker.
    ASSERT_EQ(dlg.AddBreaker(1, 1, 1, 0), 0);
    EXPECT_EQ(dlg.RememberedSelection(1, 0), (Selection{ITEM_BREAKER, 1}));
    dlg.OnCommand(IDC_VIEW_PANEL);
    EXPECT_EQ(ui.controls.m_strBreakerName, "BREAKER #11");
    // Deleting the selected breaker forgets the selection.
    ui.Answer("BREAKER #11", MsgResult::Yes);
    ASSERT_TRUE(dlg.DeleteBreaker(1, 1));
    EXPECT_EQ(dlg.RememberedSelection(1, 0), Selection{});
}

}  // namespace
}  // namespace jvo::tool::test
