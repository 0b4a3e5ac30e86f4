// The panel picture: slot owners, hit testing, selection and hover, the context menu's choice and
// commands, and what is drawn where.
#include "tests/tool/ToolTestUtil.h"
#include "tool/Menus.h"
#include "tool/Texts.h"

namespace jvo::tool::test {
namespace {

using Op = RecordingCanvas::Op;

class UserMapTest : public ::testing::Test {
protected:
    void Start(const UnitConfig& c) { StartOffline(dlg, ui, c); }
    void TearDown() override { EXPECT_TRUE(ui.AllAnswered()); }
    UserMap& Map() { return dlg.Map(); }
    // A pixel inside the slot's first grid cell.
    std::pair<int, int> PointIn(const Slot& slot) {
        const GridCell cell = MapSlot(slot);
        const MapRect r =
            Map().GridRect(cell.m_Column, cell.m_Row, cell.m_Column + 1, cell.m_Row + 1);
        return {r.m_Left + 2, r.m_Top + 2};
    }
    void Click(const Slot& slot) {
        const auto [x, y] = PointIn(slot);
        Map().OnLButtonUp(x, y);
    }
    void RightClick(const Slot& slot, int command) {
        ui.menuAnswers.push_back(command);
        const auto [x, y] = PointIn(slot);
        Map().OnRButtonUp(x, y, 500, 600);
    }

    RecordingCanvas canvas;
    ScriptedUi ui;
    BasicDlg dlg{ui, WindowLayout::LARGE, &canvas};
};

TEST_F(UserMapTest, SlotsGetTheirOwners) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    UserMap& m = Map();
    for (int k = 0; k < 3; ++k) {
        ASSERT_NE(m.MainSlot(0, k).m_Owner, nullptr);
        EXPECT_EQ(m.MainSlot(0, k).m_Owner->m_Kind, OWNER_MAIN_FEED);
        EXPECT_EQ(m.MainSlot(0, k).m_Pole, k);
        // Panel A: a 3-pole breaker in slots 1..3, another in 22..24.
        ASSERT_NE(m.PanelSlot(0, k).m_Owner, nullptr);
        EXPECT_EQ(m.PanelSlot(0, k).m_Owner->m_Kind, OWNER_BREAKER);
        EXPECT_EQ(m.PanelSlot(0, k).m_Owner->m_Index, 0);
        EXPECT_EQ(m.PanelSlot(0, k).m_Pole, k);
        EXPECT_EQ(m.PanelSlot(0, 21 + k).m_Owner->m_Index, 1);
        // The auxiliary subfeed at position 1.
        EXPECT_EQ(m.AuxSlot(0, 0, k).m_Owner->m_Kind, OWNER_SUBFEED);
        EXPECT_EQ(m.AuxSlot(0, 1, k).m_Owner, nullptr);
    }
    EXPECT_EQ(m.PanelSlot(0, 0).m_Owner->m_First, &m.PanelSlot(0, 0));
    EXPECT_EQ(m.PanelSlot(0, 0).m_Owner->m_Poles, 3);
    EXPECT_EQ(m.PanelSlot(0, 18).m_Owner->m_Poles, 1);
    EXPECT_EQ(m.PanelSlot(0, 19).m_Owner, nullptr);
    // Panel B (sequential): a breaker from slot 20 into the right column.
    EXPECT_EQ(m.PanelSlot(1, 19).m_Owner, m.PanelSlot(1, 21).m_Owner);
    EXPECT_EQ(m.PanelSlot(1, 21).m_Pole, 2);
}

TEST_F(UserMapTest, ZeroPoleSubfeedsGetThreeAndEntriesOutsideThePanelAreSkipped) {
    UnitConfig c = LibConfig();
    PanelRecord& a = c.m_Panels[0];
    a.m_Subfeeds[0].m_Placement = PLACEMENT_AUX;
    a.m_Subfeeds[0].m_Position = 2;
    a.m_Subfeeds[0].m_Poles = 0;
    a.m_Subfeeds[1].m_Placement = PLACEMENT_AUX;
    a.m_Subfeeds[1].m_Position = 17;  // no such auxiliary position
    a.m_Subfeeds[1].m_Poles = 3;
    a.m_Subfeeds[2].m_Placement = PLACEMENT_PANEL;
    a.m_Subfeeds[2].m_Position = 42;  // only its first pole lies in the panel
    a.m_Subfeeds[2].m_Poles = 3;
    a.m_SubfeedCnt = 3;
    a.m_Breakers[0].m_Position = 41;
    a.m_Breakers[0].m_Poles = 60000;
    a.m_Breakers[1].m_Position = 0;
    a.m_Breakers[1].m_Poles = 2;
    a.m_BreakerCnt = 2;
    Start(c);
    // Taken over in slot order: the panel-slot subfeed first, then the auxiliary ones.
    EXPECT_EQ(dlg.Config().m_Panels[0].m_Subfeeds[1].m_Position, 2);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_Subfeeds[1].m_Poles, 3);
    UserMap& m = Map();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(m.AuxSlot(0, 1, k).m_Pole, k);
    ASSERT_NE(m.AuxSlot(0, 1, 2).m_Owner, nullptr);
    EXPECT_EQ(m.PanelSlot(0, 40).m_Owner->m_Kind, OWNER_BREAKER);
    EXPECT_EQ(m.PanelSlot(0, 41).m_Owner->m_Kind, OWNER_SUBFEED);  // the later entry wins
    // The breaker at position 0 keeps only its second pole, which is its first slot.
    EXPECT_EQ(m.PanelSlot(0, 0).m_Pole, 1);
    EXPECT_EQ(m.PanelSlot(0, 0).m_Owner->m_First, &m.PanelSlot(0, 0));
    dlg.OnCommand(IDC_VIEW_AUX);
    Map().RedrawMap();
}

TEST_F(UserMapTest, HitTestingInBothViewsAndSizes) {
    Start(LibConfig());
    for (bool compact : {false, true}) {
        ScriptedUi ui2;
        BasicDlg d(ui2, compact ? WindowLayout::COMPACT : WindowLayout::LARGE);
        UserMap& m = d.Map();
        const int cw = compact ? 18 : 25;
        const int ch = compact ? 24 : 32;
        EXPECT_EQ(m.Width(), 19 * cw);
        EXPECT_EQ(m.Height(), 27 * ch);
        auto at = [&](int column, int row) { return m.HitTest(column * cw + 1, row * ch + 1); };
        EXPECT_EQ(at(7, 1), &m.MainSlot(0, 0));
        EXPECT_EQ(at(11, 3), &m.MainSlot(0, 2));
        EXPECT_EQ(at(12, 2), nullptr);
        EXPECT_EQ(at(3, 5), &m.PanelSlot(0, 0));
        EXPECT_EQ(at(7, 25), &m.PanelSlot(0, 20));
        EXPECT_EQ(at(11, 5), &m.PanelSlot(0, 21));
        EXPECT_EQ(at(15, 25), &m.PanelSlot(0, 41));
        EXPECT_EQ(at(9, 10), nullptr);
        EXPECT_EQ(at(3, 26), nullptr);
        EXPECT_EQ(at(3, 4), nullptr);
        EXPECT_EQ(m.HitTest(-1, 200), nullptr);
        EXPECT_EQ(m.HitTest(m.Width(), 200), nullptr);
        EXPECT_EQ(m.HitTest(100, m.Height()), nullptr);
        m.SetView(1);
        EXPECT_EQ(at(1, 2), &m.AuxSlot(0, 0, 0));
        EXPECT_EQ(at(5, 4), &m.AuxSlot(0, 0, 2));
        EXPECT_EQ(at(1, 5), nullptr);  // the gap between groups
        EXPECT_EQ(at(1, 6), &m.AuxSlot(0, 1, 0));
        EXPECT_EQ(at(7, 24), &m.AuxSlot(0, 11, 2));
        EXPECT_EQ(at(13, 14), &m.AuxSlot(0, 15, 0));
        EXPECT_EQ(at(13, 18), nullptr);  // the third column has four groups
        EXPECT_EQ(at(6, 2), nullptr);
        EXPECT_EQ(at(1, 1), nullptr);
        m.SetPanel(1);
        EXPECT_EQ(at(1, 2), &m.AuxSlot(1, 0, 0));
    }
}

TEST_F(UserMapTest, ClickingAnyPoleSelectsTheOwnersFirstSlot) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    Click(Map().PanelSlot(0, 1));
    EXPECT_EQ(Map().Selected(0, 0), &Map().PanelSlot(0, 0));
    EXPECT_EQ(dlg.RememberedSelection(0, 0), (Selection{ITEM_BREAKER, 0}));
    EXPECT_EQ(ui.controls.m_strBreakerName, dlg.Config().m_Panels[0].m_Breakers[0].m_Name);
    Click(Map().MainSlot(0, 2));
    EXPECT_EQ(dlg.RememberedSelection(0, 0), (Selection{ITEM_MAIN, 0}));
    Click(Map().PanelSlot(0, 19));  // empty
    EXPECT_EQ(dlg.RememberedSelection(0, 0), Selection{});
    EXPECT_EQ(Map().Selected(0, 0), &Map().PanelSlot(0, 19));
    // Each panel and view has its own selection.
    dlg.OnCommand(IDC_PANEL_B);
    EXPECT_EQ(Map().Selected(1, 0), nullptr);
    EXPECT_EQ(Map().Selected(0, 0), &Map().PanelSlot(0, 19));
}

TEST_F(UserMapTest, DoubleClickBeginsTheBreakerEdit) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    const auto [x, y] = PointIn(Map().PanelSlot(0, 19));
    Map().OnLButtonDblClk(x, y);
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    const auto [x2, y2] = PointIn(Map().PanelSlot(0, 2));
    Map().OnLButtonDblClk(x2, y2);
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    EXPECT_EQ(ui.focus, IDC_BREAKER_NAME);
    // With the edit open, a click on another item applies it first; a value that fails its
    // check keeps the edited item selected.
    ui.controls.m_nHysteresis = 0;
    Click(Map().PanelSlot(0, 21));
    EXPECT_EQ(ui.messages.back().text, "Hysteresis Interval must be in the range 1 .. 60");
    EXPECT_EQ(Map().Selected(0, 0), &Map().PanelSlot(0, 0));
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    ui.controls.m_nHysteresis = 7;
    Click(Map().PanelSlot(0, 21));
    EXPECT_EQ(Map().Selected(0, 0), &Map().PanelSlot(0, 21));
    EXPECT_EQ(dlg.Config().m_Panels[0].m_Breakers[0].m_Hysteresis, 7);
}

TEST_F(UserMapTest, ContextMenuChoice) {
    Start(LibConfig());  // A odd/even, B sequential; subfeed groups free on both
    UserMap& m = Map();
    // Odd/even: the last slot of the left column has room for one pole only.
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 20)), MENU_ADD_SINGLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 19)), MENU_ADD_DOUBLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 18)), MENU_ADD_TRIPLE_SUBFEED);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 17)), MENU_ADD_TRIPLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 41)), MENU_ADD_SINGLE);
    dlg.OnCommand(IDC_PANEL_B);
    // Sequential: slot 20 runs on into the right column.
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 20)), MENU_ADD_TRIPLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 18)), MENU_ADD_TRIPLE_SUBFEED);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 40)), MENU_ADD_DOUBLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 41)), MENU_ADD_SINGLE);
    ASSERT_EQ(dlg.AddBreaker(1, 22, 1, 21), 0);
    m.ReloadSlots();
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 20)), MENU_ADD_SINGLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 19)), MENU_ADD_DOUBLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(1, 21)), MENU_DELETE);
    EXPECT_EQ(m.ContextMenuFor(&m.MainSlot(1, 0)), MENU_NONE);
    dlg.OnCommand(IDC_VIEW_AUX);
    EXPECT_EQ(m.ContextMenuFor(&m.AuxSlot(1, 3, 0)), MENU_ADD_SUBFEED);
    EXPECT_EQ(m.ContextMenuFor(&m.AuxSlot(1, 3, 1)), MENU_NONE);
    EXPECT_EQ(m.ContextMenuFor(&m.AuxSlot(1, 3, 2)), MENU_NONE);
    EXPECT_EQ(m.ContextMenuFor(nullptr), MENU_NONE);

    // Without a free subfeed group: no subfeed items.
    StartOffline(dlg, ui, AsExtracted(sim::MakeDemoConfig()));
    EXPECT_EQ(m.ContextMenuFor(&m.AuxSlot(0, 3, 0)), MENU_NONE);
    EXPECT_EQ(m.ContextMenuFor(&m.AuxSlot(0, 0, 1)), MENU_DELETE);
    dlg.OnCommand(IDC_VIEW_PANEL);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 39)), MENU_ADD_TRIPLE);
}

TEST_F(UserMapTest, RightClickShowsTheMenuAndRunsItsCommand) {
    Start(LibConfig());
    RightClick(Map().PanelSlot(0, 3), CMD_ADD_BREAKER_TWO);
    EXPECT_EQ(ui.menusShown.back(), MENU_ADD_TRIPLE_SUBFEED);
    ASSERT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt, 1);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_Breakers[0].m_Name, "BREAKER #07");  // slot 4 shows 7
    EXPECT_EQ(dlg.RememberedSelection(0, 0), (Selection{ITEM_BREAKER, 0}));
    EXPECT_EQ(Map().PanelSlot(0, 4).m_Owner->m_Kind, OWNER_BREAKER);
    // Right-clicking its second pole offers deletion; declined, nothing changes.
    ui.Answer("BREAKER #07", MsgResult::No);
    RightClick(Map().PanelSlot(0, 4), CMD_DELETE_BREAKER);
    EXPECT_EQ(ui.menusShown.back(), MENU_DELETE);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt, 1);
    ui.Answer("BREAKER #07", MsgResult::Yes);
    RightClick(Map().PanelSlot(0, 4), CMD_DELETE_BREAKER);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt, 0);
    EXPECT_EQ(Map().PanelSlot(0, 4).m_Owner, nullptr);
    EXPECT_EQ(dlg.RememberedSelection(0, 0), Selection{});
    // Nothing chosen from the menu: nothing happens.
    RightClick(Map().PanelSlot(0, 3), 0);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt, 0);
    // A slot without a menu (the main breaker) shows none.
    const size_t menus = ui.menusShown.size();
    ui.menuAnswers.clear();
    const auto [x, y] = PointIn(Map().MainSlot(0, 0));
    Map().OnRButtonUp(x, y, 0, 0);
    EXPECT_EQ(ui.menusShown.size(), menus);
}

TEST_F(UserMapTest, MenuCommandGuards) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    UserMap& m = Map();
    m.OnMenuCommand(CMD_DELETE_BREAKER);
    m.OnMenuCommand(CMD_ADD_BREAKER_ONE);
    m.OnMenuCommand(CMD_ADD_BREAKER_TWO);
    m.OnMenuCommand(CMD_ADD_BREAKER_THREE);
    m.OnMenuCommand(CMD_ADD_SUBFEED);
    Click(m.PanelSlot(0, 1));
    m.OnMenuCommand(CMD_ADD_BREAKER_ONE);
    m.OnMenuCommand(CMD_ADD_BREAKER_THREE);
    m.OnMenuCommand(CMD_ADD_SUBFEED);
    Click(m.MainSlot(0, 0));
    m.OnMenuCommand(CMD_DELETE_BREAKER);
    const std::vector<std::string> expected = {
        "OnDeleteBreaker(): No breaker referenced",
        "OnAddBreakerOne(): No slot referenced",
        "OnAddBreakerTwo(): No slot referenced",
        "OnAddBreakerThree(): No slot referenced",
        "OnAddBreakerSubfeed(): No slot referenced",
        "OnAddBreakerOne(): Breaker already referenced",
        "OnAddBreakerThree(): Breaker already referenced",
        "OnAddBreakerSubfeed(): Breaker already referenced",
        "OnDeleteBreaker(): Invalid breaker type",
    };
    EXPECT_EQ(ui.Texts(), expected);
    for (const Shown& s : ui.messages)
        EXPECT_EQ(s.icon, MsgIcon::Stop);
    // An empty, selected slot without an owner: deleting names no breaker.
    Click(m.PanelSlot(0, 19));
    m.OnMenuCommand(CMD_DELETE_BREAKER);
    EXPECT_EQ(ui.messages.back().text, "OnDeleteBreaker(): No breaker referenced");
}

// A menu command while an open edit fails its check: the picture and the editor must not part.
TEST_F(UserMapTest, MenuCommandsWaitForTheOpenEdit) {
    Start(LibConfig());
    UserMap& m = Map();
    const PanelRecord& a = dlg.Config().m_Panels[0];
    Click(m.PanelSlot(0, 3));
    dlg.OnCommand(IDC_UNIT_EDIT);
    ui.controls.m_nSoftwareAddress = 3;  // odd: the unit edit cannot be applied
    RightClick(m.PanelSlot(0, 3), CMD_ADD_BREAKER_ONE);
    EXPECT_EQ(ui.Count(text::kAddressEven), 1);
    EXPECT_EQ(a.m_BreakerCnt, 0);
    EXPECT_EQ(dlg.EditGroup(), EDIT_UNIT);

    // Mended, the same command applies the edit, adds the breaker and the editor shows it.
    ui.controls.m_nSoftwareAddress = 4;
    RightClick(m.PanelSlot(0, 3), CMD_ADD_BREAKER_ONE);
    ASSERT_EQ(a.m_BreakerCnt, 1);
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitAddr, 4);
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_EQ(dlg.RememberedSelection(0, 0), (Selection{ITEM_BREAKER, 0}));
    EXPECT_EQ(ui.controls.m_strBreakerName, "BREAKER #07");
    EXPECT_EQ(m.Selected(0, 0), &m.PanelSlot(0, 3));

    // Delete waits for the open edit the same way.
    dlg.OnCommand(IDC_UNIT_EDIT);
    ui.controls.m_nSoftwareAddress = 5;
    RightClick(m.PanelSlot(0, 3), CMD_DELETE_BREAKER);
    EXPECT_EQ(ui.Count(text::kAddressEven), 2);
    EXPECT_EQ(a.m_BreakerCnt, 1);
    ui.controls.m_nSoftwareAddress = 6;
    ui.Answer("BREAKER #07", MsgResult::Yes);
    RightClick(m.PanelSlot(0, 3), CMD_DELETE_BREAKER);
    EXPECT_EQ(a.m_BreakerCnt, 0);
    EXPECT_EQ(dlg.RememberedSelection(0, 0), Selection{});
    EXPECT_EQ(ui.controls.m_strBreakerName, text::kNoBreakerSelected);

    // A breaker added now is selected in both, so clicking elsewhere and back shows it.
    RightClick(m.PanelSlot(0, 6), CMD_ADD_BREAKER_ONE);
    Click(m.PanelSlot(0, 10));
    EXPECT_EQ(ui.controls.m_strBreakerName, text::kNoBreakerSelected);
    Click(m.PanelSlot(0, 6));
    EXPECT_EQ(ui.controls.m_strBreakerName, "BREAKER #13");
}

// Every layout value but 0 is odd/even: numbering, room, column checks, mirroring and labels.
TEST_F(UserMapTest, LayoutTwoIsOddEvenEverywhere) {
    UnitConfig c = LibConfig();
    c.m_Panels[0].m_Layout = 2;
    Start(c);
    UserMap& m = Map();
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 20)), MENU_ADD_SINGLE);
    EXPECT_EQ(m.ContextMenuFor(&m.PanelSlot(0, 19)), MENU_ADD_DOUBLE);
    EXPECT_EQ(dlg.AddBreaker(0, 41, 2, 20), -1);  // would straddle the columns
    EXPECT_EQ(ui.Count("there is no room for 2 poles at position 41"), 1);
    RightClick(m.PanelSlot(0, 21), CMD_ADD_BREAKER_TWO);
    ASSERT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt, 1);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_Breakers[0].m_Name, "BREAKER #02");
    canvas.ops.clear();
    m.RedrawMap();
    const Op* right = canvas.ImageAt(275, 160);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->image, (SlotImage{2, true, false}));
    ASSERT_NE(canvas.TextOf("2"), nullptr);
    EXPECT_EQ(canvas.TextOf("2")->rect, (MapRect{400, 160, 450, 192}));
}

TEST_F(UserMapTest, DrawingThePanelView) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    canvas.ops.clear();
    Map().RedrawMap();
    ASSERT_GE(canvas.ops.size(), 3u);
    EXPECT_EQ(canvas.ops[0].kind, Op::CLEAR);
    EXPECT_EQ(canvas.ops[0].colour, kMapBackground);
    EXPECT_EQ(canvas.ops[1].kind, Op::FRAME);
    EXPECT_EQ(canvas.ops[1].rect, (MapRect{0, 0, 474, 863}));
    EXPECT_EQ(canvas.ops[1].colour, kMapBorder);
    EXPECT_EQ(canvas.ops[1].pen, 1);
    EXPECT_FALSE(canvas.ops[1].inset);
    EXPECT_EQ(canvas.ops.back().kind, Op::REPAINT);

    // The main feed: one three-pole image at column 7, row 1.
    const Op* main = canvas.ImageAt(175, 32);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->image, (SlotImage{3, false, false}));
    EXPECT_EQ(main->rect, (MapRect{175, 32, 300, 128}));
    EXPECT_EQ(canvas.ImageAt(175, 64), nullptr);  // covered by the main feed's image
    // Panel A is odd/even: the right column shows mirrored owners and labels at column 16.
    const Op* right = canvas.ImageAt(275, 160);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->image, (SlotImage{3, true, false}));
    const Op* left = canvas.ImageAt(75, 160);
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->image, (SlotImage{3, false, false}));
    const Op* empty = canvas.ImageAt(75, 32 * (5 + 19));  // slot 20 (internal), empty
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->image, (SlotImage{0, false, false}));
    EXPECT_EQ(empty->rect.m_Bottom - empty->rect.m_Top, 32);
    ASSERT_NE(canvas.TextOf("2"), nullptr);
    EXPECT_EQ(canvas.TextOf("2")->rect, (MapRect{400, 160, 450, 192}));
    EXPECT_EQ(canvas.TextOf("1")->rect, (MapRect{25, 160, 75, 192}));
    EXPECT_EQ(canvas.TextOf("41")->rect, (MapRect{25, 800, 75, 832}));
    EXPECT_EQ(canvas.Of(Op::TEXT).size(), 42u);
    EXPECT_TRUE(canvas.Of(Op::FRAME).size() == 1u);  // nothing selected

    // Panel B is sequential: plain images, labels at column 9.
    canvas.ops.clear();
    dlg.OnCommand(IDC_PANEL_B);
    EXPECT_EQ(canvas.TextOf("22")->rect, (MapRect{225, 160, 275, 192}));
    const Op* b = canvas.ImageAt(275, 192);  // slot 23
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->image.m_Mirrored);
}

// A sequential panel runs on from slot 21 into slot 22 at the top of the right column: each part
// of a breaker stands in its own column, and poles beyond slot 42 are not drawn at all.
TEST_F(UserMapTest, PolesStandInTheirOwnSlotsOnTheGrid) {
    UnitConfig c = sim::MakeDemoConfig();  // panel B: "RACK B4" with 3 poles at slot 20
    PanelRecord& b = c.m_Panels[1];
    BreakerRecord& last = b.m_Breakers[b.m_BreakerCnt++];  // as loaded: poles at 42 and "43"
    last.m_Name = "PAST 42";
    last.m_Position = 42;
    last.m_Poles = 2;
    Start(AsExtracted(c));
    dlg.OnCommand(IDC_PANEL_B);
    canvas.ops.clear();
    Map().RedrawMap();
    for (const Op& op : canvas.Of(Op::IMAGE))
        EXPECT_LE(op.rect.m_Bottom, 26 * 32) << op.rect.m_Left << "," << op.rect.m_Top;
    const Op* upper = canvas.ImageAt(75, 24 * 32);  // slots 20 and 21
    const Op* lower = canvas.ImageAt(275, 5 * 32);  // slot 22
    const Op* cut = canvas.ImageAt(275, 25 * 32);   // slot 42
    ASSERT_TRUE(upper && lower && cut);
    EXPECT_EQ(upper->image, (SlotImage{3, false, false, 0, 2}));
    EXPECT_EQ(upper->rect.m_Bottom, 26 * 32);
    EXPECT_EQ(lower->image, (SlotImage{3, false, false, 2, 1}));
    EXPECT_EQ(lower->rect.m_Bottom, 6 * 32);
    EXPECT_EQ(cut->image, (SlotImage{2, false, false, 0, 1}));

    // Clicking the third pole selects the breaker, framed in both columns.
    const MapRect upperRect = upper->rect;
    const MapRect lowerRect = lower->rect;
    canvas.ops.clear();
    Click(Map().PanelSlot(1, 21));
    EXPECT_EQ(Map().Selected(1, 0), &Map().PanelSlot(1, 19));
    const std::vector<Op> frames = canvas.Of(Op::FRAME);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].rect, upperRect);
    EXPECT_EQ(frames[1].rect, lowerRect);
}

TEST_F(UserMapTest, SelectionFrameAndHover) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    canvas.ops.clear();
    Click(Map().PanelSlot(0, 2));
    std::vector<Op> frames = canvas.Of(Op::FRAME);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].rect, (MapRect{75, 160, 200, 256}));
    EXPECT_EQ(frames[0].colour, kMapSelection);
    EXPECT_EQ(frames[0].pen, 3);
    EXPECT_TRUE(frames[0].inset);
    EXPECT_EQ(canvas.ops.back().kind, Op::REPAINT);

    canvas.ops.clear();
    const auto [x, y] = PointIn(Map().PanelSlot(0, 19));
    EXPECT_FALSE(Map().Tracking());
    Map().OnMouseMove(x, y);
    EXPECT_TRUE(Map().Tracking());
    EXPECT_EQ(Map().Hovered(0, 0), &Map().PanelSlot(0, 19));
    const Op* hover = canvas.ImageAt(75, 32 * 24);
    ASSERT_NE(hover, nullptr);
    EXPECT_TRUE(hover->image.m_Hover);
    EXPECT_EQ(SlotImageResource(hover->image, false), 140);
    // Moving within the same owner redraws nothing.
    canvas.ops.clear();
    Map().OnMouseMove(x + 30, y);
    EXPECT_TRUE(canvas.ops.empty());
    Map().OnMouseLeave();
    EXPECT_FALSE(Map().Tracking());
    EXPECT_EQ(Map().Hovered(0, 0), nullptr);
    ASSERT_NE(canvas.ImageAt(75, 32 * 24), nullptr);
    EXPECT_FALSE(canvas.ImageAt(75, 32 * 24)->image.m_Hover);

    // A new configuration forgets the selected and hovered slots.
    Map().OnMouseMove(x, y);
    StartOffline(dlg, ui, AsExtracted(sim::MakeDemoConfig()));
    EXPECT_EQ(Map().Selected(0, 0), nullptr);
    EXPECT_EQ(Map().Hovered(0, 0), nullptr);
}

TEST_F(UserMapTest, CompactVariantDrawsSmallerImages) {
    ScriptedUi ui2;
    RecordingCanvas small;
    BasicDlg d(ui2, WindowLayout::COMPACT, &small);
    StartOffline(d, ui2, AsExtracted(sim::MakeDemoConfig()));
    small.ops.clear();
    d.Map().RedrawMap();
    EXPECT_EQ(small.ops[1].rect, (MapRect{0, 0, 341, 647}));
    const Op* first = small.ImageAt(54, 120);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->rect, (MapRect{54, 120, 54 + 88, 120 + 3 * 24}));
    EXPECT_EQ(SlotImageResource(first->image, true), 157);
}

// The keyboard: arrows step from item to item (past the other poles of the selected one), Enter
// opens and applies the breaker edit, the menu key opens the selected slot's menu.
TEST_F(UserMapTest, KeyboardMovesAmongItemsEditsAndOpensTheMenu) {
    Start(AsExtracted(sim::MakeDemoConfig()));
    UserMap& m = Map();
    using Key = UserMap::MapKey;
    const auto first = [](Slot& s) { return s.m_Owner ? s.m_Owner->m_First : &s; };
    EXPECT_TRUE(m.OnKey(Key::DOWN));  // nothing selected: the first slot
    EXPECT_EQ(m.Selected(0, 0), &m.MainSlot(0, 0));
    EXPECT_TRUE(m.OnKey(Key::DOWN));  // past the main feed's poles
    EXPECT_EQ(m.Selected(0, 0), &m.PanelSlot(0, 0));
    EXPECT_TRUE(m.OnKey(Key::DOWN));  // past the 3-pole breaker's
    EXPECT_EQ(m.Selected(0, 0), first(m.PanelSlot(0, 3)));
    EXPECT_TRUE(m.OnKey(Key::UP));
    EXPECT_EQ(m.Selected(0, 0), &m.PanelSlot(0, 0));
    EXPECT_TRUE(m.OnKey(Key::RIGHT));
    EXPECT_EQ(m.Selected(0, 0), &m.PanelSlot(0, 21));
    EXPECT_FALSE(m.OnKey(Key::RIGHT));  // the edge
    EXPECT_TRUE(m.OnKey(Key::LEFT));
    EXPECT_EQ(m.Selected(0, 0), &m.PanelSlot(0, 0));
    EXPECT_EQ(dlg.Fields().m_strBreakerName, dlg.Config().m_Panels[0].m_Breakers[0].m_Name);

    EXPECT_TRUE(m.OnKey(Key::ENTER));
    EXPECT_EQ(dlg.EditGroup(), EDIT_BREAKER);
    EXPECT_TRUE(m.OnKey(Key::ENTER));
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    ui.menuAnswers.push_back(0);
    EXPECT_TRUE(m.OnKey(Key::MENU, 10, 20));
    EXPECT_EQ(ui.menusShown, std::vector<int>{MENU_DELETE});

    // The auxiliary groups: down a column, across to the next one.
    dlg.OnCommand(IDC_VIEW_AUX);
    EXPECT_TRUE(m.OnKey(Key::DOWN));
    EXPECT_EQ(m.Selected(0, 1), &m.AuxSlot(0, 0, 0));
    EXPECT_TRUE(m.OnKey(Key::DOWN));  // past the subfeed's three poles
    EXPECT_EQ(m.Selected(0, 1), &m.AuxSlot(0, 1, 0));
    EXPECT_TRUE(m.OnKey(Key::RIGHT));
    EXPECT_TRUE(m.OnKey(Key::RIGHT));
    EXPECT_EQ(m.Selected(0, 1), &m.AuxSlot(0, 13, 0));
    EXPECT_FALSE(m.OnKey(Key::RIGHT));
}

TEST_F(UserMapTest, TooltipsAndAuxiliaryPositionNumbers) {
    const UnitConfig c = AsExtracted(sim::MakeDemoConfig());
    Start(c);
    UserMap& m = Map();
    const BreakerRecord& b = c.m_Panels[0].m_Breakers[0];
    const auto [x, y] = PointIn(m.PanelSlot(0, 1));
    EXPECT_EQ(m.TipAt(x, y), "Breaker \"" + b.m_Name + "\"\n3 poles, " +
                                 std::to_string(b.m_Rating) +
                                 " A\nChannels: " + CtDisplayName(c, b.m_Ct[0]) + ", " +
                                 CtDisplayName(c, b.m_Ct[1]) + ", " + CtDisplayName(c, b.m_Ct[2]));
    const auto [ex, ey] = PointIn(m.PanelSlot(0, 19));
    EXPECT_EQ(m.TipAt(ex, ey),
              "Position " + std::to_string(SlotToDisplay(c.m_Panels[0], 20)) + ": empty");
    EXPECT_EQ(m.TipAt(-1, 5), "");
    const auto [mx, my] = PointIn(m.MainSlot(0, 2));
    EXPECT_EQ(m.TipAt(mx, my).rfind("Main feed \"" + c.m_Panels[0].m_MainFeed.m_Name + "\"", 0),
              0u);

    canvas.ops.clear();
    dlg.OnCommand(IDC_VIEW_AUX);
    const auto [ax, ay] = PointIn(m.AuxSlot(0, 0, 1));
    EXPECT_EQ(m.TipAt(ax, ay).rfind("Subfeed \"", 0), 0u);
    ASSERT_EQ(canvas.Of(Op::TEXT).size(), 16u);
    // Each number stands left of its group's first pole: 1 at column 0, 7 at 6, 13 at 12.
    for (const auto& [number, group] : {std::pair{"1", 0}, {"7", 6}, {"16", 15}}) {
        Slot probe;
        probe.m_Type = SLOT_AUX;
        probe.m_Group = group;
        const GridCell cell = MapSlot(probe);
        ASSERT_NE(canvas.TextOf(number), nullptr) << number;
        EXPECT_EQ(canvas.TextOf(number)->rect,
                  m.GridRect(cell.m_Column - 1, cell.m_Row, cell.m_Column, cell.m_Row + 1));
    }
}

}  // namespace
}  // namespace jvo::tool::test

namespace jvo::tool {
namespace {

// A selection made from a slot goes through the typed conversion, whatever the numbers are.
TEST(ItemKindTest, EveryKindConvertsBothWays) {
    for (const int owner : {OWNER_MAIN_FEED, OWNER_BREAKER, OWNER_SUBFEED})
        EXPECT_EQ(OwnerKindOf(ItemKindOf(owner)), owner);
    for (const ItemKind kind : {ITEM_NONE, ITEM_MAIN, ITEM_BREAKER, ITEM_SUBFEED})
        EXPECT_EQ(ItemKindOf(OwnerKindOf(kind)), kind);
    EXPECT_EQ(ItemKindOf(0), ITEM_NONE);
}

}  // namespace
}  // namespace jvo::tool
