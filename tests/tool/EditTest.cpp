// Editing the unit, panel and breaker groups: selection, showing and storing items, the edit state
// machine with its enable and read-only rules, and the checks on applied values.
#include "tests/tool/ToolTestUtil.h"
#include "tool/Texts.h"
#include "tool/WindowLayout.h"

namespace jvo::tool::test {
namespace {

namespace t = jvo::tool::text;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override { StartOffline(dlg, ui, AsExtracted(sim::MakeDemoConfig())); }
    void TearDown() override { EXPECT_TRUE(ui.AllAnswered()); }

    const PanelRecord& PanelA() const { return dlg.Config().m_Panels[0]; }

    ScriptedUi ui;
    BasicDlg dlg{ui};
};

TEST(WindowLayoutTest, WorkAreaHeightChoosesTheLayout) {
    EXPECT_EQ(ChooseWindowLayout(900), WindowLayout::LARGE);
    EXPECT_EQ(ChooseWindowLayout(899), WindowLayout::COMPACT);
    EXPECT_EQ(ChooseWindowLayout(0), WindowLayout::COMPACT);
    EXPECT_TRUE(IsControlId(IDC_GROUND_ALARM));
    EXPECT_FALSE(IsControlId(1011));
}

TEST_F(EditTest, OfflineShowsTheFieldsAndNoDipSwitch) {
    EXPECT_TRUE(dlg.Offline());
    EXPECT_EQ(ui.controls.m_strUnitName, "CABINET 3 WEST");
    EXPECT_EQ(ui.controls.m_strPanelName, "PDU-3A");
    EXPECT_EQ(ui.controls.m_strPassword, "1234");
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "N/A *");
    EXPECT_EQ(ui.texts[IDC_DIP_NOTE], t::kDipUnknown);
    // No item selected: the breaker group shows nothing and cannot be edited.
    EXPECT_EQ(ui.controls.m_strBreakerName, t::kNoBreakerSelected);
    EXPECT_EQ(ui.controls.m_nRating, 0);
    EXPECT_FALSE(ui.enabled[IDC_BREAKER_EDIT]);
    EXPECT_FALSE(dlg.BeginEdit(EDIT_BREAKER));
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
}

TEST_F(EditTest, SoftwareAddressChecks) {
    dlg.OnCommand(IDC_UNIT_EDIT);
    EXPECT_EQ(dlg.EditGroup(), EDIT_UNIT);
    EXPECT_FALSE(ui.readOnly[IDC_UNIT_NAME]);
    EXPECT_FALSE(ui.readOnly[IDC_SW_ADDRESS]);
    EXPECT_EQ(ui.focus, IDC_UNIT_NAME);
    EXPECT_FALSE(ui.enabled[IDC_UNIT_EDIT]);
    EXPECT_TRUE(ui.enabled[IDC_UNIT_CANCEL]);
    EXPECT_TRUE(ui.defaults[IDC_UNIT_APPLY]);

    const struct {
        int address;
        const char* message;
    } refused[] = {{247, t::kAddressRange}, {245, t::kAddressEven}, {-2, t::kAddressRange}};
    for (const auto& r : refused) {
        ui.controls.m_nSoftwareAddress = r.address;
        ui.focus = 0;
        EXPECT_FALSE(dlg.EndEdit(END_APPLY)) << r.address;
        EXPECT_EQ(ui.messages.back().text, r.message) << r.address;
        EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
        EXPECT_EQ(ui.focus, IDC_SW_ADDRESS);
        EXPECT_EQ(dlg.EditGroup(), EDIT_UNIT);
        EXPECT_EQ(dlg.Config().m_Unit.m_UnitAddr, 0);
    }
    ui.controls.m_nSoftwareAddress = 246;
    ui.controls.m_strUnitName = "RENAMED";
    EXPECT_TRUE(dlg.EndEdit(END_APPLY));
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitAddr, 246);
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "RENAMED");
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_TRUE(ui.readOnly[IDC_SW_ADDRESS]);
    EXPECT_FALSE(ui.defaults[IDC_UNIT_APPLY]);
    EXPECT_FALSE(ui.enabled[IDC_UNIT_APPLY]);
    EXPECT_EQ(ui.focus, IDC_UNIT_EDIT);
}

TEST_F(EditTest, CancelReloadsAndTextThatDoesNotParseKeepsTheEditOpen) {
    dlg.OnCommand(IDC_UNIT_EDIT);
    ui.controls.m_strUnitName = "NOT STORED";
    ui.parseFails = true;
    EXPECT_FALSE(dlg.EndEdit(END_APPLY));
    ASSERT_EQ(ui.beeps.size(), 1u);
    EXPECT_EQ(ui.beeps[0], std::make_pair(800, 50));
    EXPECT_EQ(dlg.EditGroup(), EDIT_UNIT);
    ui.parseFails = false;
    dlg.OnCommand(IDC_UNIT_CANCEL);
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_EQ(ui.controls.m_strUnitName, "CABINET 3 WEST");
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "CABINET 3 WEST");
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "N/A *");
}

TEST_F(EditTest, EnterWithoutAnOpenEditOnlyTransfers) {
    ui.controls.m_strUnitName = "TYPED";
    dlg.OnOkKey();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(dlg.Fields().m_strUnitName, "TYPED");
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "CABINET 3 WEST");
}

TEST_F(EditTest, PanelEditStoresIntoTheCurrentPanel) {
    dlg.OnCommand(IDC_PANEL_B);
    dlg.OnCommand(IDC_PANEL_EDIT);
    EXPECT_EQ(ui.focus, IDC_PANEL_NAME);
    ui.controls.m_strPanelName = "NEW B";
    ui.controls.m_strPassword = "9999";
    dlg.OnCommand(IDC_PANEL_APPLY);
    EXPECT_EQ(dlg.Config().m_Panels[1].m_PanelName, "NEW B");
    EXPECT_EQ(dlg.Config().m_Panels[1].m_Password1, "9999");
    EXPECT_EQ(dlg.Config().m_Panels[0].m_PanelName, "PDU-3A");
    EXPECT_EQ(ui.focus, IDC_PANEL_EDIT);
}

TEST_F(EditTest, EachPanelAndViewRemembersItsSelection) {
    ASSERT_TRUE(dlg.SelectItem(3, ITEM_BREAKER));
    const std::string nameA3 = PanelA().m_Breakers[3].m_Name;
    EXPECT_EQ(ui.controls.m_strBreakerName, nameA3);
    dlg.OnCommand(IDC_PANEL_B);
    EXPECT_EQ(ui.controls.m_strBreakerName, t::kNoBreakerSelected);
    EXPECT_EQ(ui.controls.m_strPanelName, "PDU-3B");
    ASSERT_TRUE(dlg.SelectItem(1, ITEM_BREAKER));
    dlg.OnCommand(IDC_VIEW_AUX);
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_SUBFEED));
    dlg.OnCommand(IDC_PANEL_A);
    EXPECT_EQ(ui.controls.m_strBreakerName, t::kNoBreakerSelected);  // A, auxiliary view
    dlg.OnCommand(IDC_VIEW_PANEL);
    EXPECT_EQ(ui.controls.m_strBreakerName, nameA3);
    EXPECT_EQ(dlg.RememberedSelection(1, 0), (Selection{ITEM_BREAKER, 1}));
    EXPECT_EQ(dlg.RememberedSelection(1, 1), (Selection{ITEM_SUBFEED, 0}));
}

TEST_F(EditTest, ItemsAreShownWithTheirKindsRules) {
    ASSERT_TRUE(dlg.SelectItem(1, ITEM_BREAKER));  // slot 22 of an odd/even panel
    const BreakerRecord& b = PanelA().m_Breakers[1];
    EXPECT_EQ(ui.controls.m_nPosition, SlotToDisplay(PanelA(), b.m_Position));
    EXPECT_EQ(ui.controls.m_nPosition, 2);
    EXPECT_EQ(ui.controls.m_nPoles, b.m_Poles);
    EXPECT_EQ(ui.controls.m_nRating, b.m_Rating);
    EXPECT_EQ(ui.controls.m_nNeutralAlarm, 0);
    EXPECT_TRUE(ui.enabled[IDC_POSITION]);
    EXPECT_TRUE(ui.enabled[IDC_UC_ALARM]);
    EXPECT_TRUE(ui.enabled[IDC_UC_LABEL]);
    EXPECT_FALSE(ui.enabled[IDC_NEUTRAL_ALARM]);
    EXPECT_FALSE(ui.enabled[IDC_GROUND_UNIT]);
    EXPECT_TRUE(ui.enabled[IDC_BREAKER_EDIT]);

    ASSERT_TRUE(dlg.SelectItem(0, ITEM_MAIN));
    EXPECT_EQ(ui.controls.m_strBreakerName, "MAIN A");
    EXPECT_EQ(ui.controls.m_nNeutralAlarm, 95);
    EXPECT_EQ(ui.controls.m_nGroundAlarm, 5);
    EXPECT_EQ(ui.controls.m_nUcAlarm, 0);
    EXPECT_FALSE(ui.enabled[IDC_POSITION]);
    EXPECT_FALSE(ui.enabled[IDC_POSITION_LABEL]);
    EXPECT_FALSE(ui.enabled[IDC_UC_ALARM]);
    EXPECT_TRUE(ui.enabled[IDC_NEUTRAL_ALARM]);
    EXPECT_TRUE(ui.enabled[IDC_GROUND_LABEL]);

    // The main breaker's name cannot be edited; its rating gets the focus.
    dlg.OnCommand(IDC_BREAKER_EDIT);
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    EXPECT_TRUE(ui.readOnly[IDC_BREAKER_NAME]);
    EXPECT_FALSE(ui.readOnly[IDC_RATING]);
    EXPECT_TRUE(ui.readOnly[IDC_UC_ALARM]);
    EXPECT_FALSE(ui.readOnly[IDC_NEUTRAL_ALARM]);
    EXPECT_TRUE(ui.readOnly[IDC_POSITION]);
    EXPECT_TRUE(ui.readOnly[IDC_POLES]);
    EXPECT_EQ(ui.focus, IDC_RATING);
    EXPECT_TRUE(ui.defaults[IDC_BREAKER_APPLY]);
    ui.controls.m_nRating = 800;
    ui.controls.m_nNeutralAlarm = 120;
    dlg.OnCommand(IDC_BREAKER_APPLY);
    EXPECT_EQ(PanelA().m_MainFeed.m_Rating, 800);
    EXPECT_EQ(PanelA().m_MainFeed.m_NeutralAlarm, 120);
    EXPECT_EQ(PanelA().m_MainFeed.m_Position, 1);
    EXPECT_EQ(ui.focus, IDC_BREAKER_EDIT);
}

TEST_F(EditTest, BreakerApplyStoresItsFieldsButNotPositionOrPoles) {
    ASSERT_TRUE(dlg.SelectItem(2, ITEM_BREAKER));
    dlg.OnCommand(IDC_BREAKER_EDIT);
    EXPECT_FALSE(ui.readOnly[IDC_BREAKER_NAME]);
    EXPECT_FALSE(ui.readOnly[IDC_UC_ALARM]);
    EXPECT_TRUE(ui.readOnly[IDC_NEUTRAL_ALARM]);
    EXPECT_TRUE(ui.readOnly[IDC_GROUND_ALARM]);
    EXPECT_EQ(ui.focus, IDC_BREAKER_NAME);
    const BreakerRecord before = PanelA().m_Breakers[2];
    ui.controls.m_strBreakerName = "EDITED";
    ui.controls.m_nRating = 25;
    ui.controls.m_nOcAlarm = 90;
    ui.controls.m_nOcWarning = 85;
    ui.controls.m_nUcAlarm = 10;
    ui.controls.m_nHysteresis = 30;
    ui.controls.m_nPosition = 40;
    ui.controls.m_nPoles = 1;
    dlg.OnOkKey();
    const BreakerRecord& b = PanelA().m_Breakers[2];
    EXPECT_EQ(b.m_Name, "EDITED");
    EXPECT_EQ(b.m_Rating, 25);
    EXPECT_EQ(b.m_OcAlarm, 90);
    EXPECT_EQ(b.m_OcWarning, 85);
    EXPECT_EQ(b.m_UcAlarm, 10);
    EXPECT_EQ(b.m_Hysteresis, 30);
    EXPECT_EQ(b.m_Position, before.m_Position);
    EXPECT_EQ(b.m_Poles, before.m_Poles);
    EXPECT_EQ(b.m_Ct, before.m_Ct);
}

TEST_F(EditTest, ApplyRefusesValuesThatDoNotFitOrMakeNoSense) {
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_BREAKER));
    const BreakerRecord before = PanelA().m_Breakers[0];
    dlg.OnCommand(IDC_BREAKER_EDIT);
    const struct {
        int ToolFields::*field;
        int value;
        const char* message;
        int focus;
    } refused[] = {
        {&ToolFields::m_nRating, 70000, "Breaker Rating must be in the range 0 .. 65535",
         IDC_RATING},
        {&ToolFields::m_nRating, 65536 + 20, "Breaker Rating must be in the range 0 .. 65535",
         IDC_RATING},
        {&ToolFields::m_nRating, -1, "Breaker Rating must be in the range 0 .. 65535", IDC_RATING},
        {&ToolFields::m_nRating, 5000, "Breaker Rating must be in the range 1 .. 4000", IDC_RATING},
        {&ToolFields::m_nOcAlarm, 101, "Phase Over Current Alarm must be in the range 0 .. 100",
         IDC_OC_ALARM},
        {&ToolFields::m_nUcAlarm, 300, "Phase Under Current Alarm must be in the range 0 .. 100",
         IDC_UC_ALARM},
        {&ToolFields::m_nHysteresis, 0, "Hysteresis Interval must be in the range 1 .. 60",
         IDC_HYSTERESIS},
    };
    for (const auto& r : refused) {
        ToolFields good = ui.controls;
        ui.controls.*r.field = r.value;
        EXPECT_FALSE(dlg.EndEdit(END_APPLY)) << r.message;
        EXPECT_EQ(ui.messages.back().text, r.message);
        EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
        EXPECT_EQ(ui.focus, r.focus);
        EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
        EXPECT_EQ(PanelA().m_Breakers[0], before);
        ui.controls = good;
    }
    ui.controls.m_strBreakerName = std::string(BasicDlg::kMaxTextLength + 1, 'X');
    EXPECT_FALSE(dlg.EndEdit(END_APPLY));
    EXPECT_EQ(ui.messages.back().text, "Breaker Name must not be longer than 255 characters");
    ui.controls.m_strBreakerName = std::string(BasicDlg::kMaxTextLength, 'X');
    EXPECT_TRUE(dlg.EndEdit(END_APPLY));
    EXPECT_EQ(PanelA().m_Breakers[0].m_Name.size(), BasicDlg::kMaxTextLength);
}

TEST_F(EditTest, ValuesAlreadyInTheConfigurationAreNotForcedIntoRange) {
    UnitConfig c = AsExtracted(sim::MakeDemoConfig());
    c.m_Panels[0].m_MainFeed.m_Rating = 6000;  // beyond the editor's range, but stored already
    ui.connects.push_back(Offline(c));
    dlg.Connect();
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_MAIN));
    dlg.OnCommand(IDC_BREAKER_EDIT);
    ui.controls.m_nHysteresis = 9;
    EXPECT_TRUE(dlg.EndEdit(END_APPLY));
    EXPECT_EQ(PanelA().m_MainFeed.m_Rating, 6000);
    EXPECT_EQ(PanelA().m_MainFeed.m_Hysteresis, 9);
}

TEST_F(EditTest, PanelRadioCancelsTheEditAndSelectingAnItemAppliesIt) {
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_BREAKER));
    dlg.OnCommand(IDC_BREAKER_EDIT);
    ui.controls.m_nRating = 33;
    dlg.OnCommand(IDC_PANEL_B);  // cancels
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_EQ(dlg.Panel(), 1);
    EXPECT_NE(PanelA().m_Breakers[0].m_Rating, 33);

    dlg.OnCommand(IDC_PANEL_A);
    dlg.OnCommand(IDC_BREAKER_EDIT);
    ui.controls.m_nRating = 33;
    ASSERT_TRUE(dlg.SelectItem(4, ITEM_BREAKER));  // applies into breaker 0 first
    EXPECT_EQ(PanelA().m_Breakers[0].m_Rating, 33);
    EXPECT_NE(PanelA().m_Breakers[4].m_Rating, 33);
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
}

TEST_F(EditTest, AFailingApplyKeepsTheEditedItemSelectedAndRefusesAnotherEdit) {
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_BREAKER));
    dlg.OnCommand(IDC_BREAKER_EDIT);
    ui.controls.m_nRating = 99999;
    EXPECT_FALSE(dlg.SelectItem(4, ITEM_BREAKER));
    EXPECT_EQ(dlg.RememberedSelection(0, 0), (Selection{ITEM_BREAKER, 0}));
    EXPECT_FALSE(dlg.BeginEdit(EDIT_UNIT));
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    EXPECT_FALSE(ui.readOnly[IDC_RATING]);
    EXPECT_TRUE(ui.readOnly[IDC_UNIT_NAME]);
    // Cancelling shows the stored values again.
    dlg.OnCommand(IDC_BREAKER_CANCEL);
    EXPECT_EQ(ui.controls.m_nRating, PanelA().m_Breakers[0].m_Rating);
    EXPECT_TRUE(ui.readOnly[IDC_RATING]);
}

TEST_F(EditTest, SubfeedEditKeepsItsAuxiliaryPosition) {
    dlg.OnCommand(IDC_VIEW_AUX);
    ASSERT_TRUE(dlg.SelectItem(0, ITEM_SUBFEED));
    EXPECT_EQ(ui.controls.m_nPosition, 1);  // auxiliary position, not a displayed slot
    EXPECT_TRUE(ui.enabled[IDC_POSITION]);
    dlg.OnCommand(IDC_BREAKER_EDIT);
    EXPECT_FALSE(ui.readOnly[IDC_BREAKER_NAME]);
    EXPECT_TRUE(ui.readOnly[IDC_UC_ALARM]);
    ui.controls.m_nGroundAlarm = 12;
    ui.controls.m_strBreakerName = "AUX FEED";
    dlg.OnCommand(IDC_BREAKER_APPLY);
    const SubfeedRecord& s = PanelA().m_Subfeeds[0];
    EXPECT_EQ(s.m_GroundAlarm, 12);
    EXPECT_EQ(s.m_Name, "AUX FEED");
    EXPECT_EQ(s.m_Position, 1);
    EXPECT_EQ(s.m_Placement, PLACEMENT_AUX);
}

TEST_F(EditTest, LoadWithAnOpenEditCancelsItAndForgetsTheSelections) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ASSERT_TRUE(dlg.SelectItem(13, ITEM_BREAKER));
    dlg.OnCommand(IDC_BREAKER_EDIT);
    ui.controls.m_strBreakerName = "TYPED BEFORE THE LOAD";
    // No file chosen: the edit stays open; it is cancelled only when a file is taken over.
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    UnitConfig small = sim::MakeFactoryConfig();  // no breakers at all
    const std::string path = dir.File("small.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(small, path));
    ui.opens.push_back(File(path));
    ASSERT_TRUE(dlg.LoadFromFile());
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_EQ(dlg.Config(), AsExtracted(small));
    for (int p = 0; p < 2; ++p)
        for (int v = 0; v < 2; ++v)
            EXPECT_EQ(dlg.RememberedSelection(p, v), Selection{});
    EXPECT_EQ(ui.controls.m_strBreakerName, t::kNoBreakerSelected);
    EXPECT_TRUE(ui.readOnly[IDC_BREAKER_NAME]);
    EXPECT_EQ(dlg.Map().Selected(0, 0), nullptr);
}

TEST_F(EditTest, InstallButtonAppliesAnOpenEditFirst) {
    dlg.OnCommand(IDC_UNIT_EDIT);
    ui.controls.m_strUnitName = "APPLIED";
    dlg.OnCommand(IDC_INSTALL);  // offline: the write fails, after the apply
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "APPLIED");
    EXPECT_EQ(ui.messages.back().text, t::kInstallFailed);
}

TEST_F(EditTest, SaveThatCannotBeWrittenSaysSoAndLeavesNoFile) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    UnitConfig huge = AsExtracted(sim::MakeDemoConfig());
    huge.m_Unit.m_UnitName.assign(70000, 'N');  // too large for a configuration file
    ui.connects.push_back(Offline(huge));
    dlg.Connect();
    const std::string path = dir.File("huge.jvo.cfg");
    ui.saves.push_back(File(path));
    EXPECT_FALSE(dlg.SaveToFile());
    EXPECT_EQ(ui.messages.back().text, "Failed to save configuration to: " + path);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::None);
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace
}  // namespace jvo::tool::test
