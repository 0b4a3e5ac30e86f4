// Workflows on the runner's worker thread: one at a time, every command refused meanwhile except
// the workflow's own, and the controller usable again once it has ended.
#include <atomic>
#include <future>

#include "tests/tool/ToolTestUtil.h"
#include "tool/WorkflowRunner.h"

namespace jvo::tool::test {
namespace {

TEST(WorkflowRunnerTest, OneWorkflowAtATimeAndNoCommandsMeanwhile) {
    ScriptedUi ui;
    RecordingCanvas canvas;
    BasicDlg dlg(ui, WindowLayout::LARGE, &canvas);
    StartOffline(dlg, ui, AsExtracted(sim::MakeDemoConfig()));
    UserMap& map = dlg.Map();
    WorkflowRunner runner(dlg);
    EXPECT_FALSE(runner.Start(nullptr));

    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool busyWhenFinished = true;
    bool startedFromWorker = true;
    ASSERT_TRUE(runner.Start(
        [&](BasicDlg& d) {
            entered.set_value();
            released.wait();
            d.OnCommand(IDC_UNIT_EDIT);  // the workflow's own call goes through
        },
        [&] {
            busyWhenFinished = dlg.Busy();
            startedFromWorker = runner.Start([](BasicDlg&) {});
        }));
    entered.get_future().wait();
    EXPECT_TRUE(runner.Busy());
    EXPECT_TRUE(dlg.InputRefused());
    bool overlapRan = false;
    EXPECT_FALSE(runner.Start([&](BasicDlg&) { overlapRan = true; }));

    // Everything the window's thread asks for now is refused without a trace.
    const size_t messages = ui.messages.size();
    const size_t ops = canvas.ops.size();
    const auto enabled = ui.enabled;
    const int connects = ui.connectDialogs;
    for (int id : std::initializer_list<int>{IDC_PANEL_EDIT, IDC_BREAKER_EDIT, IDC_PANEL_B,
                                             IDC_VIEW_AUX, IDC_LOAD, IDC_SAVE, IDC_INSTALL,
                                             IDC_EXIT, BasicDlg::kAboutCommand})
        dlg.OnCommand(id);
    dlg.OnCancelKey();  // would ask whether to exit
    dlg.OnOkKey();
    dlg.OnStartupTimer();
    dlg.Connect();
    EXPECT_FALSE(dlg.SelectItem(0, ITEM_BREAKER));
    EXPECT_FALSE(dlg.BeginEdit(EDIT_PANEL));
    EXPECT_FALSE(dlg.EndEdit(END_CANCEL));
    EXPECT_EQ(dlg.AddBreaker(0, 39, 1, 19), -1);
    EXPECT_FALSE(dlg.DeleteBreaker(0, 0));
    EXPECT_FALSE(dlg.DeleteSubfeed(0, 0));
    EXPECT_FALSE(dlg.Install());
    EXPECT_FALSE(dlg.ResetToDefault());
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_FALSE(dlg.SaveToFile());
    dlg.SelectPanel(true, 1);
    dlg.SelectView(1);
    const GridCell cell = MapSlot(map.PanelSlot(0, 0));
    const MapRect r = map.GridRect(cell.m_Column, cell.m_Row, cell.m_Column + 1, cell.m_Row + 1);
    ui.menuAnswers.push_back(CMD_DELETE_BREAKER);
    map.OnMouseMove(r.m_Left + 2, r.m_Top + 2);
    map.OnLButtonUp(r.m_Left + 2, r.m_Top + 2);
    map.OnLButtonDblClk(r.m_Left + 2, r.m_Top + 2);
    map.OnRButtonUp(r.m_Left + 2, r.m_Top + 2, 0, 0);
    map.OnMenuCommand(CMD_DELETE_BREAKER);

    EXPECT_EQ(ui.messages.size(), messages);
    EXPECT_EQ(canvas.ops.size(), ops);
    EXPECT_EQ(ui.enabled, enabled);
    EXPECT_EQ(ui.connectDialogs, connects);
    EXPECT_EQ(ui.abouts, 0);
    EXPECT_TRUE(ui.fileDialogs.empty());
    EXPECT_TRUE(ui.menusShown.empty());
    EXPECT_EQ(dlg.EditGroup(), EDIT_NONE);
    EXPECT_EQ(dlg.Panel(), 0);
    EXPECT_EQ(dlg.View(), 0);
    EXPECT_EQ(dlg.RememberedSelection(0, 0), Selection{});
    EXPECT_EQ(map.Selected(0, 0), nullptr);
    EXPECT_EQ(map.Hovered(0, 0), nullptr);
    EXPECT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt,
              sim::MakeDemoConfig().m_Panels[0].m_BreakerCnt);

    release.set_value();
    runner.Wait();
    EXPECT_FALSE(overlapRan);
    EXPECT_FALSE(busyWhenFinished);
    EXPECT_FALSE(startedFromWorker);
    EXPECT_FALSE(runner.Busy());
    EXPECT_FALSE(dlg.InputRefused());
    EXPECT_EQ(dlg.EditGroup(), EDIT_UNIT);
    // Idle again: commands work, and so does the next workflow.
    dlg.OnCommand(BasicDlg::kAboutCommand);
    EXPECT_EQ(ui.abouts, 1);
    ui.menuAnswers.clear();
}

TEST(WorkflowRunnerTest, ConnectOnTheWorkerAndTheRunnerWaitsWhenDestroyed) {
    SimUnitOnPty sim(sim::MakeDemoConfig());
    ASSERT_TRUE(sim.started);
    ScriptedUi ui;
    BasicDlg dlg(ui);
    dlg.InitDialog();
    ui.connects.push_back(sim.Device());
    std::atomic<int> finished{0};
    {
        WorkflowRunner runner(dlg);
        ASSERT_TRUE(runner.Start([](BasicDlg& d) { d.OnStartupTimer(); }, [&] { ++finished; }));
    }  // no Wait: the destructor joins the worker
    EXPECT_EQ(finished.load(), 1);
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Busy());
    EXPECT_NE(ui.title.find("Firmware Build"), std::string::npos);
    EXPECT_EQ(ui.progress.front(), std::string("begin ") + "Extracting Unit Configuration");
    EXPECT_EQ(dlg.Config().m_Panels[0].m_BreakerCnt,
              sim::MakeDemoConfig().m_Panels[0].m_BreakerCnt);
}

}  // namespace
}  // namespace jvo::tool::test
