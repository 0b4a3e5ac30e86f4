// The monitor as a user drives it, with the real windows against the simulated unit: connect over
// COM 1 with Enter and through the proxy, readings arriving, panels, views and alarm modes, an
// overload shown, latched and cleared, a breaker's view, an event log cleared, the three dumps,
// the names the dumps are written under, a refused second command, the trouble line, and exit.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <fstream>
#include <sstream>

#include "monitor/ConfigViews.h"
#include "monitor/qt/AboutDlg.h"
#include "monitor/qt/ConfigViewDlg.h"
#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/FieldColours.h"
#include "monitor/qt/MainArea.h"
#include "monitor/qt/ReadingsList.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

using monitor::qt::AppliedRole;
using monitor::qt::ReadingsList;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The colour at the centre of a row's status icon, drawn at 1x.
QColor IconCentre(ReadingsList* list, int row) {
    const QIcon icon =
        list->Model().data(list->Model().index(row, 0), Qt::DecorationRole).value<QIcon>();
    return icon.pixmap(QSize(16, 16), 1.0).toImage().pixelColor(11, 11);
}

TEST_F(WindowTest, ComPortJourney) {
    Open(true);
    monitor::qt::ConnectDlg* c = nullptr;
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    EXPECT_EQ(c->windowTitle(), "Connect to JVO");
    EXPECT_TRUE(c->ComRadio()->isChecked());
    EXPECT_FALSE(c->Server()->isEnabled());
    ASSERT_GE(c->Ports()->count(), 1);
    EXPECT_EQ(c->Ports()->currentIndex(), 0);
    EXPECT_TRUE(c->Ports()->itemText(0).startsWith("COM1"));
    EXPECT_TRUE(c->Ports()->itemText(0).contains(QString::fromStdString(port.DevicePath())));
    EXPECT_EQ(c->focusWidget(), c->ConnectButton());
    PressKey(c, Qt::Key_Return);  // Enter connects
    ASSERT_TRUE(Connected());
    EXPECT_EQ(dlg->windowTitle(), "JVO/TKA Monitor [Firmware Build:412 Config Schema:4]");

    // Readings arrive, and keep arriving.
    ASSERT_TRUE(NextCycle());
    ASSERT_TRUE(NextCycle());
    monitor::qt::MainArea* area = dlg->Area();
    ReadingsList* breakers = dlg->Breakers();
    ASSERT_TRUE(Pump([&] { return area->PhaseField(0, 0)->text().endsWith(" A"); }));
    EXPECT_EQ(breakers->Model().rowCount(), Config().m_Panels[0].UsedBreakers());
    EXPECT_EQ(breakers->Model().Text(0, 0),
              QString::fromStdString(Config().m_Panels[0].m_Breakers[0].m_Name));
    EXPECT_TRUE(breakers->Model().Text(0, 6).endsWith(" W"));
    EXPECT_FALSE(area->Clock()->text().isEmpty());
    EXPECT_EQ(breakers->Table()->columnWidth(1), 90);
    EXPECT_EQ(dlg->ListGroup()->title(), "Breaker Status");
    EXPECT_TRUE(dlg->AutoZeroBox()->isVisible());
    EXPECT_TRUE(dlg->AutoZeroBox()->isEnabled());

    // Panels: the A/B button, then a click on the panel name.
    const QString nameB = " " + QString::fromStdString(Config().m_Panels[1].m_PanelName);
    dlg->Area()->SwitchButton()->click();
    EXPECT_EQ(dlg->Panel(), 1);
    EXPECT_EQ(area->PanelName()->text(), nameB);
    EXPECT_EQ(breakers->Model().rowCount(), Config().m_Panels[1].UsedBreakers());
    QMouseEvent click(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(area->PanelName(), &click);
    EXPECT_EQ(dlg->Panel(), 0);

    // Views: subfeeds, icons, and back.
    dlg->ListToggle()->click();
    EXPECT_TRUE(dlg->SubfeedsShown());
    EXPECT_EQ(dlg->ListGroup()->title(), "Subfeed Status");
    EXPECT_EQ(dlg->ListToggle()->text(), "Brea&kers");
    dlg->ViewToggle()->click();
    EXPECT_TRUE(dlg->Subfeeds()->IconView());
    EXPECT_TRUE(breakers->IconView());
    EXPECT_EQ(dlg->ViewToggle()->text(), "&Table");
    dlg->Action("viewBreakers")->trigger();
    dlg->ViewToggle()->click();
    EXPECT_FALSE(dlg->SubfeedsShown());
    EXPECT_FALSE(breakers->IconView());

    // Overload the first breaker and the main feed: red I-RMS fields and the red icon, first in
    // Raw mode, then latched after the overload has gone, then cleared.
    dlg->Action("alarmRaw")->trigger();
    EXPECT_EQ(dlg->Mode(), AlarmMode::Raw);
    EXPECT_TRUE(dlg->Action("alarmRaw")->isChecked());
    EXPECT_FALSE(dlg->Action("alarmFiltered")->isChecked());
    const std::string breaker = Config().m_Panels[0].m_Breakers[0].m_Name;
    ASSERT_EQ(unit.SetOverload(breaker, true), 1);
    ASSERT_EQ(unit.SetOverload(Config().m_Panels[0].m_MainFeed.m_Name, true), 1);
    Wait(8);  // raw at once, filtered and latched after the hysteresis
    ASSERT_TRUE(Pump([&] {
        return breakers->Model().Icon(0) == ICON_ALARM &&
               AppliedRole(area->PhaseField(0, 0)) == ColourRole::Alarm;
    }));
    EXPECT_EQ(area->PhaseField(1, 0)->palette().color(QPalette::Base), QColor(255, 64, 64));
    EXPECT_EQ(area->PhaseField(1, 0)->palette().color(QPalette::Text), QColor(Qt::white));
    EXPECT_EQ(IconCentre(breakers, 0).red(), 255);
    EXPECT_LT(IconCentre(breakers, 0).green(), 140);
    ASSERT_EQ(unit.SetOverload(breaker, false), 1);
    unit.SetOverload(Config().m_Panels[0].m_MainFeed.m_Name, false);
    Wait(8);
    ASSERT_TRUE(Pump([&] { return breakers->Model().Icon(0) != ICON_ALARM; }));
    dlg->Action("alarmLatched")->trigger();
    ASSERT_TRUE(Pump([&] { return breakers->Model().Icon(0) == ICON_ALARM; }, 2000));
    EXPECT_EQ(AppliedRole(area->PhaseField(2, 0)), ColourRole::Alarm);
    dlg->Action("clearAlarms")->trigger();
    ASSERT_TRUE(Pump([&] {
        return !dlg->Busy() && breakers->Model().Icon(0) != ICON_ALARM &&
               AppliedRole(area->PhaseField(0, 0)) != ColourRole::Alarm;
    }));

    // A second command while one runs is refused.
    dlg->OnSetClock();
    EXPECT_TRUE(dlg->Busy());
    dlg->OnClearAlarms();
    EXPECT_TRUE(dlg->StatusLine()->text().contains("wait"));
    ASSERT_TRUE(Pump([&] { return !dlg->Busy(); }));
    EXPECT_TRUE(dlg->StatusLine()->text().isEmpty());

    // A breaker's view by a double-click on its row; none below the last row.
    emit breakers->Table()->doubleClicked(breakers->Model().index(1, 0));
    monitor::qt::BreakerConfigDlg* view = nullptr;
    ASSERT_TRUE(Pump([&] { return (view = Visible<monitor::qt::BreakerConfigDlg>()); }));
    EXPECT_EQ(view->windowTitle(), "Breaker Alarm Configuration");
    EXPECT_EQ(view->Field(BV_NAME)->text().toStdString(),
              Config().m_Panels[0].m_Breakers[1].m_Name);
    view->accept();
    ASSERT_TRUE(Pump([&] { return !Visible<monitor::qt::BreakerConfigDlg>(); }));
    dlg->OnBreakerRow(Config().m_Panels[0].UsedBreakers());
    QApplication::processEvents();
    EXPECT_EQ(Visible<monitor::qt::BreakerConfigDlg>(), nullptr);

    // The event log: the Service log is offered to a service user; clear Panel A's log.
    dlg->Action("viewEvents")->trigger();
    monitor::qt::EventLogDlg* log = dlg->EventLog();
    ASSERT_TRUE(Pump([&] { return log->isVisible(); }));
    EXPECT_TRUE(log->Radio(2)->isVisible());
    ASSERT_GT(log->List()->rowCount(), 0);
    log->findChild<QPushButton*>("clearLog")->click();
    EXPECT_EQ(Answer(QMessageBox::Yes), "Are you sure you want to clear the Event Log?");
    ASSERT_TRUE(Pump([&] {
        return log->List()->rowCount() == 1 &&
               log->List()->item(0, 2)->text() == "Event Log Formatted";
    }));

    // A breaker's alarm shows its name beside the text; the log opens on the main window's panel.
    unit.LogEvent(0, 4001, 1, 123);
    ASSERT_TRUE(Pump([&] { return log->List()->rowCount() == 2; }));
    EXPECT_EQ(log->List()->item(1, 2)->text(),
              "Breaker [2] Over Current Warning (Triggered at 12.3A)");
    EXPECT_EQ(log->List()->item(1, 3)->text().toStdString(),
              Config().m_Panels[0].m_Breakers[1].m_Name);

    // The three dumps.
    const std::string events = files.Path() + "/eventlog.csv";
    dlg->Action("dumpEventLog")->trigger();
    ASSERT_TRUE(SaveAs(events));
    EXPECT_NE(ReadFile(events).find("SERVICE EVENT LOG"), std::string::npos);
    log->reject();
    ASSERT_TRUE(Pump([&] { return !log->isVisible(); }));
    dlg->OnSwitchPanel();
    dlg->OnEvents();
    ASSERT_TRUE(Pump([&] { return log->isVisible(); }));
    EXPECT_EQ(log->Shown(), 1);
    EXPECT_TRUE(log->Radio(1)->isChecked());
    log->reject();
    dlg->OnSwitchPanel();
    // The readings as one table: the save dialog starts where the event log was saved.
    const std::string table = files.Path() + "/table.csv";
    dlg->Action("exportTable")->trigger();
    QFileDialog* d = nullptr;
    ASSERT_TRUE(Pump([&] { return (d = Visible<QFileDialog>("saveDump")) != nullptr; }));
    EXPECT_EQ(QDir(d->directory()).canonicalPath(),
              QDir(QString::fromStdString(files.Path())).canonicalPath());
    ASSERT_TRUE(SaveAs(table));
    const std::string rows = ReadFile(table);
    EXPECT_EQ(rows.rfind("Unit,Time,Panel,", 0), 0u);
    EXPECT_NE(rows.find("\r\n" + Config().m_Unit.m_UnitName + ","), std::string::npos);
    const std::string readings = files.Path() + "/readings.csv";
    dlg->Action("dumpReadings")->trigger();
    ASSERT_TRUE(SaveAs(readings));
    EXPECT_EQ(ReadFile(readings).rfind("Panel Name, \"", 0), 0u);
    const std::string config = files.Path() + "/unit.jvo.txt";
    dlg->Action("dumpConfig")->trigger();
    ASSERT_TRUE(SaveAs(config));
    EXPECT_EQ(Answer(QMessageBox::Ok).toStdString(),
              "Successfully dumped configuration to: " + config);
    EXPECT_EQ(ReadFile(config).rfind("Schema Version: 4\r\n", 0), 0u);
    // A name with an extension of its own is written as typed, and replacing a file is asked
    // about on the name written: No goes back to the dialog, Yes replaces.
    const std::string typed = files.Path() + "/data.txt";
    std::ofstream(typed + ".csv") << "kept";
    std::ofstream(files.Path() + "/config.txt.jvo.txt") << "kept";
    dlg->Action("dumpReadings")->trigger();
    ASSERT_TRUE(SaveAs(typed));
    EXPECT_EQ(ReadFile(typed).rfind("Panel Name, \"", 0), 0u);
    EXPECT_EQ(ReadFile(typed + ".csv"), "kept");
    dlg->Action("dumpConfig")->trigger();
    ASSERT_TRUE(SaveAs(files.Path() + "/config.txt"));
    EXPECT_EQ(Answer(QMessageBox::Ok).toStdString(),
              "Successfully dumped configuration to: " + files.Path() + "/config.txt");
    EXPECT_EQ(ReadFile(files.Path() + "/config.txt.jvo.txt"), "kept");
    std::ofstream(readings) << "old";
    dlg->Action("dumpReadings")->trigger();
    ASSERT_TRUE(SaveAs(files.Path() + "/readings"));
    EXPECT_EQ(Answer(QMessageBox::No), "readings.csv already exists.\nDo you want to replace it?");
    ASSERT_TRUE(SaveAs(files.Path() + "/readings"));  // the dialog again
    EXPECT_EQ(Answer(QMessageBox::Yes), "readings.csv already exists.\nDo you want to replace it?");
    ASSERT_TRUE(Pump([&] { return ReadFile(readings) != "old"; }));
    EXPECT_EQ(ReadFile(readings).rfind("Panel Name, \"", 0), 0u);

    // Unplugged: the status line says so, with no message box. Plugged in again (a new device
    // behind the same COM number), polling goes on by itself.
    port.Stop();
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().contains("Connection lost"); }));
    EXPECT_EQ(Visible<QMessageBox>(), nullptr);
    ASSERT_TRUE(port.Start());
    ASSERT_TRUE(port.Pin(kCom, ports.Path()));
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().isEmpty(); }));
    ASSERT_TRUE(NextCycle());

    // Exit asks while connected; No keeps the window, Yes stops the worker.
    dlg->close();
    EXPECT_EQ(Answer(QMessageBox::No), "Are you sure you want to exit?");
    EXPECT_TRUE(dlg->isVisible());
    dlg->close();
    Answer(QMessageBox::Yes);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->Session().Worker().End(), monitor::PollEnd::STOPPED);
    EXPECT_FALSE(dlg->Session().Link().IsConnected());
}

TEST_F(WindowTest, ProxyJourneyWithTroubleLine) {
    monitor::SessionOptions o;
    o.timings.notAnsweringMs = 600;
    Open(false, o);
    monitor::qt::ConnectDlg* c = nullptr;
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    c->ProxyRadio()->setChecked(true);
    EXPECT_TRUE(c->Server()->isEnabled());
    EXPECT_FALSE(c->Ports()->isEnabled());
    c->Server()->setText("127.0.0.1:1");
    c->ConnectButton()->click();
    EXPECT_EQ(Answer(QMessageBox::Ok), "Could not connect to the specified server");
    ASSERT_TRUE(Pump([&] { return c->ConnectButton()->isEnabled(); }));
    EXPECT_EQ(c->focusWidget(), c->Server());
    c->Server()->setText(QString::fromStdString(ProxyAddress()));
    c->ConnectButton()->click();
    ASSERT_TRUE(Connected());
    EXPECT_TRUE(dlg->Session().Link().ViaProxy());
    EXPECT_FALSE(dlg->AutoZeroBox()->isVisible());  // not a service user
    ASSERT_TRUE(NextCycle());
    ASSERT_TRUE(Pump([&] { return !dlg->Breakers()->Model().Text(0, 2).isEmpty(); }));

    // The unit stops answering: the status line says so, with no message box; then it clears.
    sim::UnitFaults silent;
    silent.silent = true;
    proxy.backend.SetFaults(silent);
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().contains("Unit not answering"); }));
    EXPECT_EQ(Visible<QMessageBox>(), nullptr);
    proxy.backend.SetFaults({});
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().isEmpty(); }));

    // Without the service user the event log offers no Service log.
    dlg->OnEvents();
    ASSERT_TRUE(Pump([&] { return dlg->EventLog()->isVisible(); }));
    EXPECT_FALSE(dlg->EventLog()->Radio(2)->isVisible());
    dlg->EventLog()->reject();
}

// Escape in the connect dialog cancels (the program then ends); closing the main window while the
// dialog is open ends the connect sequence too, without either thread waiting on the other.
TEST_F(WindowTest, CancelAndCloseWhileConnecting) {
    Open(false);
    monitor::qt::ConnectDlg* c = nullptr;
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    PressKey(c, Qt::Key_Escape);
    ASSERT_TRUE(Pump([&] { return connected >= 0; }));
    EXPECT_EQ(connected, 0);
    EXPECT_FALSE(dlg->Session().Link().IsConnected());

    dlg.reset();
    connected = -1;
    Open(false);
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    dlg->close();
    ASSERT_TRUE(Pump([&] { return !dlg->isVisible(); }, 10000));
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(dlg->Session().Worker().End(), monitor::PollEnd::STOPPED);
}

// A breaker rated 5 A (as a unit may hold) cannot be closed with OK: the range message, and the
// view stays. The about box before any connection says "Not Connected".
TEST(ViewDialogs, BreakerOutOfRangeAndAboutBeforeConnect) {
    UnitConfig config = sim::MakeDemoConfig();
    config.m_Panels[0].m_Breakers[0].m_Rating = 5;
    monitor::qt::BreakerConfigDlg view(config, 0, 0, nullptr);
    view.show();
    QMetaObject::invokeMethod(
        &view, [&view] { view.accept(); }, Qt::QueuedConnection);
    EXPECT_EQ(Answer(QMessageBox::Ok), "Please enter an integer between 10 and 1000.");
    EXPECT_TRUE(view.isVisible());
    EXPECT_EQ(view.Field(BV_RATING)->text(), "5");

    monitor::qt::CAboutDlg about(MakeAboutView(nullptr), "/tmp/x.log", nullptr);
    EXPECT_EQ(about.findChild<QLabel*>("firmwareBuild")->text(), "Not Connected");
    EXPECT_EQ(about.findChild<QLabel*>("hardwareVersion")->text(), "Not Connected");
    EXPECT_EQ(about.findChild<QLabel*>("schema")->text(), "4");
    EXPECT_EQ(about.findChild<QLabel*>("version")->text(), "Build 25");
}

}  // namespace
}  // namespace jvo::test
