// A field engineer's restart, with the real windows: the unit goes away under the monitor, the
// readings grey out with their age in the status line (light and dark palette), the unit comes
// back with a fresh event log whose newest index is lower than before, the readings resume within
// a cycle and the trend shows the gap; then File > Exit closes the window within a second while
// the worker waits on a silent unit.
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QStyle>
#include <QStyleFactory>

#include "monitor/qt/FieldColours.h"
#include "monitor/qt/MainArea.h"
#include "monitor/qt/ReadingsList.h"
#include "monitor/qt/TrendDlg.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

using monitor::qt::AppliedRole;
using monitor::qt::StaleBase;
using monitor::qt::StaleText;

QColor IconCentre(monitor::qt::ReadingsList* list, int row) {
    const QIcon icon =
        list->Model().data(list->Model().index(row, 0), Qt::DecorationRole).value<QIcon>();
    return icon.pixmap(QSize(16, 16), 1.0).toImage().pixelColor(11, 11);
}

// Every reading field and the panel name drawn in the palette's disabled colours.
void ExpectGreyed(monitor::qt::MainArea* area, const QPalette& p) {
    for (QLineEdit* f :
         {area->PanelName(), area->PhaseField(0, 0), area->Ground(), area->Clock()}) {
        EXPECT_EQ(f->palette().color(QPalette::Text), StaleText(p)) << f->text().toStdString();
        EXPECT_EQ(f->palette().color(QPalette::Base), StaleBase(p)) << f->text().toStdString();
    }
}

TEST_F(WindowTest, UnitRestartGreysThenResumesAndExitIsPrompt) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QPalette light = QApplication::style()->standardPalette();
    QApplication::setPalette(light);
    for (int i = 0; i < 5; ++i)
        unit.LogEvent(0, 6001);  // panel A's newest index is 5
    ManualClock workerClock(1'000);
    monitor::SessionOptions o;
    o.clock = &workerClock;
    o.timings.reopenFirstMs = 50;
    o.timings.reopenMaxMs = 200;
    o.timings.replyTimeoutMs = 5000;  // so that the exit below meets a long wait
    Open(false, o);
    monitor::qt::ConnectDlg* c = nullptr;
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    PressKey(c, Qt::Key_Return);
    ASSERT_TRUE(Connected());
    ASSERT_EQ(unit.SetOverload("MAIN A", true), 1);
    ASSERT_EQ(unit.SetOverload(Config().m_Panels[0].m_Breakers[1].m_Name, true), 1);
    Wait(8);
    monitor::qt::MainArea* area = dlg->Area();
    monitor::qt::ReadingsList* breakers = dlg->Breakers();
    ASSERT_TRUE(Pump([&] {
        return breakers->Model().Icon(1) == ICON_ALARM &&
               AppliedRole(area->PanelName()) == ColourRole::Alarm && dlg->Trends().Frames(0) >= 3;
    }));
    EXPECT_FALSE(dlg->Stale());
    EXPECT_EQ(area->PanelName()->palette().color(QPalette::Base), QColor(255, 64, 64));
    const size_t framesBefore = dlg->Trends().Frames(0);

    // The unit goes away: 12 s later the readings are greyed, alarm colours and icons too, and
    // the status line gives their age beside the reason.
    port.Stop();
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().contains("Connection lost"); }));
    workerClock.Advance(12'000);
    ASSERT_TRUE(Pump([&] { return dlg->Stale(); }));
    EXPECT_EQ(dlg->StatusLine()->text(),
              QString::fromUtf8("Connection lost \u2014 reconnecting; data 12 s old"));
    ExpectGreyed(area, light);
    EXPECT_EQ(AppliedRole(area->PanelName()), ColourRole::Alarm);  // only drawn greyed
    const QColor icon = IconCentre(breakers, 1);
    EXPECT_LT(std::abs(icon.red() - icon.green()), 40);
    const QImage greyLight = dlg->grab().toImage();
    EXPECT_TRUE(greyLight.save(ShotDir() + "/monitor-stale.png", "PNG"));
    EXPECT_NE(greyLight.pixelColor(area->PanelName()->mapTo(dlg.get(), QPoint(4, 4))).rgb(),
              QColor(255, 64, 64).rgb());
    QApplication::setPalette(DarkPalette());
    QApplication::processEvents();
    ExpectGreyed(area, DarkPalette());
    EXPECT_TRUE(dlg->grab().toImage().save(ShotDir() + "/monitor-stale-dark.png", "PNG"));
    QApplication::setPalette(light);

    // It comes back restarted, with a fresh log: newest index 0 where it was 5.
    sim::SimUnit restarted(unitClock, sim::MakeDemoConfig(), SeededOptions(),
                           [this] { return wall.load(); });
    sim::SimSerialPort again(restarted);
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.Pin(kCom, ports.Path()));
    ASSERT_TRUE(Pump([&] { return !dlg->Session().Worker().TransportLost(); }));
    const uint64_t cycles = dlg->Session().Worker().Cycles();
    ASSERT_TRUE(Pump([&] { return dlg->Session().Worker().Cycles() >= cycles + 2; }, 20000));
    ASSERT_TRUE(Pump([&] { return !dlg->Stale() && dlg->StatusLine()->text().isEmpty(); }));
    EXPECT_EQ(area->PhaseField(0, 0)->palette().color(QPalette::Text), light.color(QPalette::Text));
    EXPECT_EQ(area->PanelName()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_FALSE(breakers->Model().Stale());
    EXPECT_EQ(dlg->Session().Logs()[0].Events().back().m_Index, 0);  // the new log's startup

    // The trend breaks across the stale time instead of drawing a line over it.
    ASSERT_TRUE(Pump([&] { return dlg->Trends().Frames(0) >= framesBefore + 3; }));
    dlg->OnTrend(0);
    monitor::qt::TrendDlg* trend = dlg->Trend();
    ASSERT_NE(trend, nullptr);
    trend->Redraw();
    const std::vector<QLineSeries*> pieces = trend->Pieces(trend->Series().size() - 1);
    ASSERT_EQ(pieces.size(), 2u);
    ASSERT_FALSE(pieces[1]->points().isEmpty());
    EXPECT_LT(pieces[0]->points().back().x(), pieces[1]->points().front().x());
    QApplication::processEvents();
    EXPECT_TRUE(trend->grab().toImage().save(ShotDir() + "/monitor-trend-gap.png", "PNG"));
    trend->close();

    // File > Exit while the worker waits on a unit that gives no reply for 5 s: the window
    // closes within a second of Yes.
    sim::SerialFaults silent;
    silent.silent = true;
    again.SetFaults(silent);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    dlg->Action("exit")->trigger();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(Pump([&] { return (box = Visible<QMessageBox>()) != nullptr; }));
    const auto start = std::chrono::steady_clock::now();
    box->button(QMessageBox::Yes)->click();
    ASSERT_TRUE(Pump([&] { return !dlg->isVisible(); }, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(dlg->Session().Worker().End(), monitor::PollEnd::STOPPED);
}

}  // namespace
}  // namespace jvo::test
