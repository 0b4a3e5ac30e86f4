// View > Line... on the real main window through the proxy server: the link has a tap only while
// the window is shown, the rows name the commands, a silent unit's requests show as failures in
// the alarm colours, Pause holds the list, Save writes it as text; the rates beside the data's
// age count the requests. Screenshots in a light and a dark palette.
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTableWidget>
#include <fstream>
#include <sstream>

#include "monitor/qt/FieldColours.h"
#include "monitor/qt/TrafficDlg.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

TEST_F(WindowTest, LineWindowShowsTheTrafficOnlyWhileOpen) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    monitor::ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = ProxyAddress();
    app = std::make_unique<monitor::MonitorApp>(false);
    monitor::SessionOptions o;
    o.timings.notAnsweringMs = 600;
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log", o);
    dlg->PresetConnect(c);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    EXPECT_FALSE(dlg->Session().Link().HasTap());
    ASSERT_TRUE(Pump([&] {
        return dlg->LineRatesLabel()->text().contains("req/s") &&
               !dlg->LineRatesLabel()->text().startsWith("0.0");
    }));

    dlg->Action("viewLine")->trigger();
    monitor::qt::TrafficDlg* line = dlg->Traffic();
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(dlg->Session().Link().HasTap());
    QTableWidget* list = line->List();
    ASSERT_TRUE(Pump([&] { return list->rowCount() >= 5; }));
    bool named = false;
    for (int r = 0; r < list->rowCount(); ++r)
        named = named || list->item(r, 1)->text() == "GetPanelReadings (133)";
    EXPECT_TRUE(named);
    EXPECT_EQ(list->item(0, 5)->text(), "'d'");

    // A silent unit: its requests are failures, in the alarm colours.
    sim::UnitFaults silent;
    silent.silent = true;
    proxy.backend.SetFaults(silent);
    int failed = -1;
    ASSERT_TRUE(Pump([&] {
        for (int r = list->rowCount() - 1; r >= 0 && failed < 0; --r)
            if (list->item(r, 5)->text() == "-") failed = r;
        return failed >= 0;
    }));
    EXPECT_EQ(list->item(failed, 0)->background().color(), monitor::qt::kAlarmBackground);
    proxy.backend.SetFaults({});
    QApplication::processEvents();
    line->grab().save(ShotDir() + "/monitor-line.png", "PNG");
    line->setPalette(DarkPalette());
    line->Redraw();
    line->grab().save(ShotDir() + "/monitor-line-dark.png", "PNG");
    line->setPalette(QApplication::palette());
    // The rates' text is new once a second.
    EXPECT_TRUE(Pump([&] { return !dlg->LineRatesLabel()->text().contains(" 0 failures/min"); }));

    // Pause holds the rows as they are; Save writes them.
    line->PauseButton()->click();
    const QString last = list->item(list->rowCount() - 1, 0)->text();
    const int rows = list->rowCount();
    ASSERT_TRUE(NextCycle());
    ASSERT_TRUE(NextCycle());
    QApplication::processEvents();
    EXPECT_EQ(list->item(list->rowCount() - 1, 0)->text(), last);
    EXPECT_EQ(list->rowCount(), rows);
    line->findChild<QPushButton*>("trafficSave")->click();
    const std::string path = files.Path() + "/traffic.txt";
    ASSERT_TRUE(SaveAs(path));
    std::ifstream in(path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    EXPECT_EQ(static_cast<int>(std::count(text.begin(), text.end(), '\n')), rows + 1);

    // Closed: the link has no tap, and copies nothing for it.
    line->reject();
    EXPECT_FALSE(dlg->Session().Link().HasTap());
    dlg->ExitNow();
}

}  // namespace
}  // namespace jvo::test
