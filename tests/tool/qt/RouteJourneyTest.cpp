// jvo-config on a real display (Xvfb) against the jvo-sim program pinned as COM3, beside another
// simulated unit pinned as COM1: the first start connects to COM3, an edit is compared with the
// unit and installed from the comparison, and the status line says so; the next start selects
// COM3 at once and offers it among the recent routes, and the unit has the edit.
#include <signal.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <memory>

#include "tests/TestProcess.h"
#include "tests/tool/ToolTestUtil.h"
#include "tests/tool/qt/WindowDriver.h"
#include "tool/Texts.h"
#include "tool/qt/CompareDlg.h"
#include "tool/qt/ConnectDlg.h"

namespace jvo::tool::qt::test {
namespace {

using tool::test::SimUnitOnPty;
using tool::test::TempDir;

class RouteJourneyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ASSERT_TRUE(other.started);
        const std::string ports = dir.File("ports");
        ::setenv("JVO_PORT_DIR", ports.c_str(), 1);
        ASSERT_TRUE(other.port.Pin(1, ports));
        sim = jvo::test::SpawnProgram(JVO_SIM_PATH, {"--com", "3"}, dir.File("sim.log"),
                                      {"JVO_PORT_DIR=" + ports});
        ASSERT_GT(sim, 0);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return std::filesystem::exists(ports + "/com3"); }, kWaitMs));
    }
    void TearDown() override {
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            int status = -1;
            EXPECT_TRUE(jvo::test::WaitProgram(sim, kWaitMs, status));
        }
    }

    // The connect dialog of a new start, and the index of COM3 in its port list.
    ConnectDlg* OpenDialog(ToolApp& app, int& com3) {
        app.Start();
        auto* dialog = WaitVisible<ConnectDlg>();
        com3 = -1;
        if (!dialog) return nullptr;
        auto* ports = dialog->findChild<QComboBox*>("ports");
        for (int i = 0; i < ports->count(); ++i)
            if (ports->itemText(i).startsWith("COM3 ")) com3 = i;
        return dialog;
    }
    QString StatusText(ToolApp& app, const char* name) {
        return app.Window().findChild<QLabel*>(name)->text();
    }
    void Compare(ToolApp& app) { app.Window().findChild<QAction*>("compareAction")->trigger(); }

    TempDir dir;
    SimUnitOnPty other{sim::MakeDemoConfig()};
    pid_t sim = -1;
};

TEST_F(RouteJourneyTest, TheDialogRemembersTheUnitAndTheEditIsComparedBeforeItIsInstalled) {
    auto app = std::make_unique<ToolApp>(WindowLayout::LARGE, dir.File("jvo-config.log"));
    int com3 = -1;
    ConnectDlg* dialog = OpenDialog(*app, com3);
    ASSERT_NE(dialog, nullptr);
    ASSERT_GT(com3, 0) << "COM1 comes first";
    auto* ports = dialog->findChild<QComboBox*>("ports");
    EXPECT_EQ(ports->currentIndex(), 0);  // nothing remembered yet
    EXPECT_EQ(dialog->findChild<QComboBox*>("recent")->count(), 0);
    ports->setCurrentIndex(com3);
    QTest::mouseClick(dialog->findChild<QPushButton*>("connect"), Qt::LeftButton);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return app->Dlg().UnitConnected() && !app->Busy(); }, kWaitMs));
    EXPECT_EQ(StatusText(*app, "unsaved"), "");

    // The unit's name edited: the status line marks the change.
    Click(*app, IDC_UNIT_EDIT);
    ASSERT_TRUE(WaitIdle(*app));
    QLineEdit* name = app->Window().Form()->Edit(IDC_UNIT_NAME);
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, "XVFB JOURNEY");
    Click(*app, IDC_UNIT_APPLY);
    // The mark follows when the workflow has ended.
    EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText(*app, "unsaved") == text::kUnsavedNoFile; },
                                kWaitMs));

    // Compared with the unit, then installed from the comparison.
    Compare(*app);
    auto* compare = WaitVisible<CompareDlg>();
    ASSERT_NE(compare, nullptr);
    auto* lines = compare->findChild<QListWidget*>("differences");
    ASSERT_EQ(lines->count(), 1);
    EXPECT_TRUE(lines->item(0)->text().startsWith("Unit: name \""));
    EXPECT_TRUE(lines->item(0)->text().endsWith("-> \"XVFB JOURNEY\""))
        << lines->item(0)->text().toStdString();
    QTest::mouseClick(compare->findChild<QPushButton*>("install"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !app->Busy() && StatusText(*app, "status") == text::kInstalledStatus; },
        kWaitMs));
    // Nothing differs any more.
    Compare(*app);
    compare = WaitVisible<CompareDlg>();
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->findChild<QLabel*>("heading")->text(), text::kCompareSame);
    EXPECT_FALSE(compare->findChild<QListWidget*>("differences")->isVisible());
    compare->reject();
    ASSERT_TRUE(WaitIdle(*app));
    app.reset();

    // A new start: COM3 is selected and offered again; Enter extracts the installed edit.
    app = std::make_unique<ToolApp>(WindowLayout::LARGE, dir.File("jvo-config.log"));
    dialog = OpenDialog(*app, com3);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QComboBox*>("ports")->currentIndex(), com3);
    auto* recent = dialog->findChild<QComboBox*>("recent");
    ASSERT_EQ(recent->count(), 1);
    EXPECT_EQ(recent->itemText(0), "COM3");
    QTest::keyClick(dialog, Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return app->Dlg().UnitConnected() && !app->Busy(); }, kWaitMs));
    EXPECT_EQ(app->Dlg().Config().m_Unit.m_UnitName, "XVFB JOURNEY");
}

}  // namespace
}  // namespace jvo::tool::qt::test
