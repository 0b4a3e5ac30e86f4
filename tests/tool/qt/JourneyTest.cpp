// jvo-config driven as a user would, against the simulated unit pinned as COM1: connect with the
// connect dialog, edit a breaker picked by its second pole, add and delete breakers and a subfeed
// through the picture's context menus, switch panels and views, install, and find the edits on
// the unit when a new start of the tool extracts its configuration again.
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "tests/tool/ToolTestUtil.h"
#include "tests/tool/qt/WindowDriver.h"
#include "tool/qt/AddSubfeedDlg.h"
#include "tool/qt/ConnectDlg.h"

namespace jvo::tool::qt::test {
namespace {

using tool::test::SimUnitOnPty;
using tool::test::TempDir;

class JourneyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ASSERT_TRUE(sim.started);
        // The only pin of a private port directory: the unit is COM1 and nothing else is listed
        // but the machine's own serial devices, which come after the pin.
        ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
        ASSERT_TRUE(sim.port.Pin(1, dir.File("ports")));
    }

    // Starts the tool as a user would and connects with Enter in the connect dialog.
    std::unique_ptr<ToolApp> StartAndConnect() {
        auto app = std::make_unique<ToolApp>(WindowLayout::LARGE, dir.File("jvo-config.log"));
        app->Start();
        auto* connect = WaitVisible<ConnectDlg>();
        EXPECT_NE(connect, nullptr);
        if (!connect) return app;
        EXPECT_EQ(connect->windowTitle(), "Connect...");
        auto* ports = connect->findChild<QComboBox*>("ports");
        EXPECT_EQ(ports->currentIndex(), 0);
        EXPECT_TRUE(ports->currentText().startsWith("COM1 "));
        EXPECT_TRUE(ports->currentText().contains(QString::fromStdString(sim.port.DevicePath())));
        QTest::keyClick(connect, Qt::Key_Return);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return app->Dlg().UnitConnected() && !app->Busy(); }, kWaitMs));
        return app;
    }

    QPoint Centre(ToolApp& app, const Slot& slot) {
        return PanelPicture::SlotCentre(app.Dlg().Map(), slot);
    }
    void ClickSlot(ToolApp& app, const Slot& slot, Qt::MouseButton button) {
        QTest::mouseClick(&app.Picture(), button, {}, Centre(app, slot));
    }

    TempDir dir;
    SimUnitOnPty sim{sim::MakeDemoConfig()};
};

TEST_F(JourneyTest, EditsMadeWithTheMouseAndKeyboardReachTheUnit) {
    auto app = StartAndConnect();
    ASSERT_TRUE(app->Dlg().UnitConnected());
    EXPECT_EQ(app->Window().windowTitle(), "JVO Config Tool [Firmware Build:412]");
    UserMap& map = app->Dlg().Map();
    const auto breakers = [&] { return app->Dlg().Config().m_Panels[0].m_BreakerCnt; };
    const int breakersBefore = breakers();

    // The picture shows panel A: a breaker's slot is drawn differently from the empty ground.
    const QImage& picture = app->Picture().Picture();
    const Slot* second = nullptr;
    for (int s = 0; s < kPanelSlots && !second; ++s) {
        const Slot& slot = map.PanelSlot(0, s);
        if (slot.m_Owner && slot.m_Owner->m_Kind == ITEM_BREAKER && slot.m_Pole == 1)
            second = &slot;
    }
    ASSERT_NE(second, nullptr) << "the demo cabinet has a multi-pole breaker";
    EXPECT_NE(picture.pixelColor(Centre(*app, *second)), picture.pixelColor(2, 2));

    // Clicking the second pole selects the breaker; its rating is edited and applied.
    const int edited = second->m_Owner->m_Index;
    const std::string editedName = app->Dlg().Config().m_Panels[0].m_Breakers[edited].m_Name;
    ClickSlot(*app, *second, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(map.Selected(0, 0), second->m_Owner->m_First);
    EXPECT_EQ(FieldText(*app, IDC_BREAKER_NAME).toStdString(), editedName);
    Click(*app, IDC_BREAKER_EDIT);
    ASSERT_TRUE(WaitIdle(*app));
    QLineEdit* rating = app->Window().Form()->Edit(IDC_RATING);
    ASSERT_FALSE(rating->isReadOnly());
    // Not a number: the prompt, and the edit stays open.
    rating->setFocus();
    rating->selectAll();
    QTest::keyClicks(rating, "4x");
    Click(*app, IDC_BREAKER_APPLY);
    Answer("Please enter an integer.", QMessageBox::Ok);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(app->Dlg().EditGroup(), EDIT_BREAKER);
    rating->setFocus();
    rating->selectAll();
    QTest::keyClicks(rating, "42");
    Click(*app, IDC_BREAKER_APPLY);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(app->Dlg().Config().m_Panels[0].m_Breakers[edited].m_Rating, 42);

    // A double-click opens the breaker edit; Escape cancels it, and Enter with no edit open only
    // transfers the fields.
    app->Window().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&app->Window()));
    // As the desktop delivers it: the first click's release, then the double-click at once.
    QTest::mouseClick(&app->Picture(), Qt::LeftButton, {}, Centre(*app, *second));
    QTest::mouseDClick(&app->Picture(), Qt::LeftButton, {}, Centre(*app, *second));
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->Dlg().EditGroup() == EDIT_BREAKER; }, kWaitMs));
    ASSERT_TRUE(WaitIdle(*app));
    QTest::keyClick(&app->Window(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->Dlg().EditGroup() == EDIT_NONE; }, kWaitMs));
    ASSERT_TRUE(WaitIdle(*app));
    QTest::keyClick(&app->Window(), Qt::Key_Return);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(Visible<QMessageBox>(), nullptr);

    // A two-pole breaker through the right-click menu on an empty slot with room for two.
    int freeSlot = -1;
    for (int s = 0; s < kPanelSlots && freeSlot < 0; ++s)
        if (!map.PanelSlot(0, s).m_Owner &&
            map.ContextMenuFor(&map.PanelSlot(0, s)) >= MENU_ADD_DOUBLE)
            freeSlot = s;
    ASSERT_GE(freeSlot, 0);
    ClickSlot(*app, map.PanelSlot(0, freeSlot), Qt::RightButton);
    PickMenu({0, 1});  // "Add Breaker" > "Two-Pole"
    ASSERT_TRUE(WaitIdle(*app));
    ASSERT_NE(map.PanelSlot(0, freeSlot).m_Owner, nullptr);
    EXPECT_EQ(map.PanelSlot(0, freeSlot).m_Owner->m_Poles, 2);
    EXPECT_EQ(breakers(), breakersBefore + 1);

    // In the auxiliary view: the cabinet's subfeed is deleted, which frees its subfeed group,
    // and a new one is added there through the "Add Subfeed" dialog.
    Click(*app, IDC_VIEW_AUX);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(map.View(), 1);
    const auto subfeeds = [&] { return app->Dlg().Config().m_Panels[0].m_SubfeedCnt; };
    const int subfeedsBefore = subfeeds();
    ASSERT_EQ(subfeedsBefore, 1);
    ASSERT_NE(map.AuxSlot(0, 0, 0).m_Owner, nullptr);
    ClickSlot(*app, map.AuxSlot(0, 0, 0), Qt::RightButton);
    PickMenu({0});  // "Delete Breaker"
    Answer("Are you sure you want to delete this Subfeed?", QMessageBox::Yes);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(subfeeds(), 0);
    ASSERT_EQ(map.ContextMenuFor(&map.AuxSlot(0, 0, 0)), MENU_ADD_SUBFEED);
    ClickSlot(*app, map.AuxSlot(0, 0, 0), Qt::RightButton);
    PickMenu({0});  // "Add Subfeed"
    auto* subfeed = WaitVisible<AddSubfeedDlg>();
    ASSERT_NE(subfeed, nullptr);
    EXPECT_EQ(subfeed->windowTitle(), "Add Subfeed");
    QTest::mouseClick(static_cast<QWidget*>(
                          subfeed->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)),
                      Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*app));
    ASSERT_EQ(subfeeds(), 1);
    const std::string newSubfeed = app->Dlg().Config().m_Panels[0].m_Subfeeds[0].m_Name;

    // Back to the panel view; delete a one-pole breaker after the question.
    Click(*app, IDC_VIEW_PANEL);
    ASSERT_TRUE(WaitIdle(*app));
    const Slot* single = nullptr;
    for (int s = 0; s < kPanelSlots && !single; ++s) {
        const Slot& slot = map.PanelSlot(0, s);
        if (slot.m_Owner && slot.m_Owner->m_Kind == ITEM_BREAKER && slot.m_Owner->m_Poles == 1)
            single = &slot;
    }
    ASSERT_NE(single, nullptr);
    const std::string deletedName =
        app->Dlg().Config().m_Panels[0].m_Breakers[single->m_Owner->m_Index].m_Name;
    ClickSlot(*app, *single, Qt::RightButton);
    PickMenu({0});  // "Delete Breaker"
    Answer("Are you sure you want to delete this Breaker?", QMessageBox::Yes);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(breakers(), breakersBefore);

    // Panel B and back.
    Click(*app, IDC_PANEL_B);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(map.Panel(), 1);
    EXPECT_EQ(FieldText(*app, IDC_PANEL_NAME).toStdString(),
              app->Dlg().Config().m_Panels[1].m_PanelName);
    Click(*app, IDC_PANEL_A);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_TRUE(app->Window().Form()->Button(IDC_PANEL_A)->isChecked());
    EXPECT_FALSE(app->Window().Form()->Button(IDC_PANEL_B)->isChecked());

    // Saved as "unit.cfg": written under the name typed, next to an older "unit.cfg.jvo.cfg";
    // saved there again, replacing it is asked about on that name.
    const std::string typed = dir.File("unit.cfg");
    std::ofstream(typed + ".jvo.cfg") << "kept";
    for (const bool again : {false, true}) {
        Click(*app, IDC_SAVE);
        auto* chooser = WaitVisible<QFileDialog>();
        ASSERT_NE(chooser, nullptr);
        // Typed into the name field, which has the focus.
        auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(typed));
        static_cast<QDialog*>(chooser)->accept();  // as the Save button does
        if (again) Answer("unit.cfg already exists.", QMessageBox::Yes);
        Answer(QString::fromStdString("Successfully saved configuration to: " + typed),
               QMessageBox::Ok);
        ASSERT_TRUE(WaitIdle(*app));
    }
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, typed));
    EXPECT_EQ(saved, app->Dlg().Config());
    EXPECT_EQ(jvo::test::ReadBytes(typed + ".jvo.cfg").size(), 4u);

    // Install, then leave with Exit.
    const UnitConfig installed = app->Dlg().Config();
    Click(*app, IDC_INSTALL);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_EQ(Visible<QMessageBox>(), nullptr);
    Click(*app, IDC_EXIT);
    Answer("Are you sure you want to exit without saving?", QMessageBox::Yes);
    ASSERT_TRUE(WaitIdle(*app));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !app->Window().isVisible(); }, kWaitMs));
    app.reset();

    // A new start extracts the unit's configuration again: the edits are there.
    auto again = StartAndConnect();
    ASSERT_TRUE(again->Dlg().UnitConnected());
    const PanelRecord& a = again->Dlg().Config().m_Panels[0];
    EXPECT_EQ(a.m_BreakerCnt, installed.m_Panels[0].m_BreakerCnt);
    ASSERT_EQ(a.m_SubfeedCnt, 1);
    EXPECT_EQ(a.m_Subfeeds[0].m_Name, newSubfeed);
    bool foundEdited = false, foundDeleted = false, foundTwoPole = false;
    for (int i = 0; i < a.UsedBreakers(); ++i) {
        foundEdited |= a.m_Breakers[i].m_Name == editedName && a.m_Breakers[i].m_Rating == 42;
        foundDeleted |= a.m_Breakers[i].m_Name == deletedName;
        foundTwoPole |= a.m_Breakers[i].m_Position == freeSlot + 1 && a.m_Breakers[i].m_Poles == 2;
    }
    EXPECT_TRUE(foundEdited);
    EXPECT_FALSE(foundDeleted);
    EXPECT_TRUE(foundTwoPole);
}

}  // namespace
}  // namespace jvo::tool::qt::test
