// The trend window on the real main window against the simulated unit: its series are the hour
// kept from the notifications, it follows the palette, and a screenshot of it.
#include <QChart>
#include <QLineSeries>
#include <QStyle>
#include <QStyleFactory>
#include <algorithm>

#include "monitor/qt/ReadingsList.h"
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
