// The trend window on the real main window against the simulated unit: its series are the hour
// kept from the notifications in colours of their own (phases dashed), the alarm level is a line,
// the axes are round, the cursor reads out, the zoom holds across redraws, the values and the
// picture are exported (the second save dialog starts where the first saved), it follows the
// palette, and a screenshot of it in each.
#include <QChart>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QValueAxis>
#include <algorithm>
#include <fstream>
#include <set>

#include "monitor/qt/ReadingsList.h"
#include "monitor/qt/TrendChart.h"
#include "monitor/qt/TrendDlg.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

TEST_F(WindowTest, TrendWindowDrawsTheKeptHour) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(QApplication::style()->standardPalette());
    monitor::ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = ProxyAddress();
    app = std::make_unique<monitor::MonitorApp>(false);
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log");
    dlg->PresetConnect(c);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    // Frames come at most once a second; the unit's day moves on meanwhile, so the lines move.
    ASSERT_TRUE(Pump(
        [&] {
            Wait(900);
            return dlg->Trends().Frames(0) >= 6 && dlg->Trends().Frames(1) >= 6;
        },
        60000));

    dlg->OnTrend(0);
    monitor::qt::TrendDlg* trend = dlg->Trend();
    ASSERT_NE(trend, nullptr);
    ASSERT_TRUE(trend->isVisible());
    const BreakerRecord& b = Config().m_Panels[0].m_Breakers[0];
    ASSERT_EQ(trend->Series().size(), static_cast<size_t>(b.m_Poles) + 3);  // all poles have CTs
    trend->Redraw();
    const TrendBuffer& kept = dlg->Trends();
    for (size_t k = 0; k < trend->Series().size(); ++k) {
        const std::vector<TrendPoint> want =
            k < b.m_Poles ? kept.BreakerPole(0, 0, static_cast<int>(k))
                          : kept.PanelPhase(0, static_cast<int>(k - b.m_Poles));
        const QList<QPointF> got = trend->Series()[k]->points();
        ASSERT_EQ(got.size(), static_cast<qsizetype>(want.size())) << k;
        for (qsizetype i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].x(), static_cast<double>(want[i].m_TimeMs));
            EXPECT_EQ(static_cast<float>(got[i].y()), want[i].m_Amps);
        }
    }
    // The lines moved with the unit's day: not every value of the first phase is the same.
    const QList<QPointF> x = trend->Series()[b.m_Poles]->points();
    EXPECT_TRUE(
        std::any_of(x.begin(), x.end(), [&](const QPointF& p) { return p.y() != x[0].y(); }));

    // Another breaker from the window's own choice, and the other panel from the main window.
    dlg->OnSwitchPanel();
    dlg->OnTrend(1);
    EXPECT_EQ(trend->Panel(), 1);
    EXPECT_EQ(trend->Breaker(), 1);
    EXPECT_NE(trend->windowTitle().indexOf(
                  QString::fromStdString(Config().m_Panels[1].m_Breakers[1].m_Name)),
              -1);

    // Distinct colours, the phases dashed, the alarm level of the breaker as a line.
    const BreakerRecord& b1 = Config().m_Panels[1].m_Breakers[1];
    monitor::qt::TrendChart* chart = trend->Chart();
    std::set<QRgb> colours;
    for (QLineSeries* s : trend->Series()) {
        colours.insert(s->pen().color().rgb());
        EXPECT_EQ(s->pen().style(), s->name().startsWith("Panel") ? Qt::DashLine : Qt::SolidLine);
    }
    EXPECT_EQ(colours.size(), trend->Series().size());
    ASSERT_TRUE(chart->Threshold()->isVisible());
    EXPECT_DOUBLE_EQ(chart->Threshold()->at(0).y(), b1.m_Rating * b1.m_OcAlarm / 100.0);
    EXPECT_LE(chart->LeftAxis()->max(), chart->Threshold()->at(0).y() * 2);
    EXPECT_GE(chart->LeftAxis()->max(), chart->Threshold()->at(0).y());

    // The cursor over the plot's middle reads out the values there.
    ASSERT_TRUE(Pump([&] { return dlg->Trends().Frames(1) >= 8; }));
    trend->Redraw();
    const QPointF mid = chart->chart()->mapToPosition(
        trend->Series()[0]->at(trend->Series()[0]->count() / 2), trend->Series()[0]);
    QMouseEvent move(QEvent::MouseMove, chart->mapFromScene(chart->chart()->mapToScene(mid)),
                     chart->mapToGlobal(QPoint()), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart->viewport(), &move);
    EXPECT_TRUE(trend->Readout()->text().contains(" A   Panel B X "))
        << trend->Readout()->text().toStdString();

    // A zoom on the first seconds holds across redraws; Live follows the newest again.
    const qint64 first = static_cast<qint64>(trend->Series()[0]->at(0).x());
    trend->OnZoom(first, first + 4000);
    trend->Redraw();
    EXPECT_LE(chart->TimeAxis()->min().toMSecsSinceEpoch(), first);
    EXPECT_LE(chart->TimeAxis()->max().toMSecsSinceEpoch(), first + 20'000);
    trend->findChild<QPushButton*>("trendLive")->click();
    EXPECT_FALSE(trend->View().Zoomed());

    // The values to CSV, then the picture: its save dialog starts in the folder just used.
    const std::string csv = files.Path() + "/t.csv";
    trend->findChild<QPushButton*>("trendCsv")->click();
    ASSERT_TRUE(SaveAs(csv));
    std::ifstream in(csv);
    std::string header;
    std::getline(in, header);
    std::string want = "time";
    for (QLineSeries* s : trend->Series())
        want += "," + s->name().toStdString() + " (A)";
    EXPECT_EQ(header, want + "\r");
    std::string row;
    ASSERT_TRUE(std::getline(in, row));
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(want.begin(), want.end(), ','));
    trend->findChild<QPushButton*>("trendPng")->click();
    QFileDialog* d = nullptr;
    ASSERT_TRUE(Pump([&] { return (d = Visible<QFileDialog>("saveDump")) != nullptr; }));
    EXPECT_EQ(QDir(d->directory()).canonicalPath(),
              QDir(QString::fromStdString(files.Path())).canonicalPath());
    ASSERT_TRUE(SaveAs(files.Path() + "/t.png"));
    EXPECT_FALSE(QImage(QString::fromStdString(files.Path() + "/t.png")).isNull());

    QApplication::processEvents();
    const QImage light = trend->grab().toImage();
    EXPECT_TRUE(light.save(ShotDir() + "/monitor-trend.png", "PNG"));
    // The chart follows a dark palette.
    trend->setPalette(DarkPalette());
    QApplication::processEvents();
    const QImage darkShot = trend->grab().toImage();
    EXPECT_TRUE(darkShot.save(ShotDir() + "/monitor-trend-dark.png", "PNG"));
    const QPoint inside(trend->width() / 2, trend->height() - 12);  // below the legend
    EXPECT_GT(light.pixelColor(inside).lightness(), 128);
    EXPECT_LT(darkShot.pixelColor(inside).lightness(), 128);
    dlg->ExitNow();
}

}  // namespace
}  // namespace jvo::test
