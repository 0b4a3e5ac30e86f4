// Screenshots of the main window in each state, written as PNG files to $JVO_SCREENSHOT_DIR (or
// the test's own folder): both lists in both views, an alarm, the trouble line, the event log,
// and the dark palette. Each is checked for what it must show.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleFactory>

#include "monitor/qt/AboutDlg.h"
#include "monitor/qt/ConnectDlg.h"
#include "monitor/qt/EventLogDlg.h"
#include "monitor/qt/MainArea.h"
#include "monitor/qt/ReadingsList.h"
#include "qtcommon/ProgramSettings.h"
#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

QImage Shot(QWidget* w, const QString& name) {
    QApplication::processEvents();
    const QPixmap p = w->grab();
    EXPECT_TRUE(p.save(ShotDir() + "/" + name, "PNG")) << name.toStdString();
    return p.toImage();
}

int CountColour(const QImage& image, QColor colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y).rgb() == colour.rgb();
    return n;
}

double MeanLightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            sum += image.pixelColor(x, y).lightnessF();
    return sum / ((image.height() / 4 + 1) * (image.width() / 4 + 1));
}

TEST_F(WindowTest, ScreenshotsOfEachState) {
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    const QPalette light = QApplication::style()->standardPalette();
    QApplication::setPalette(light);
    ASSERT_EQ(unit.SetOverload(sim::MakeDemoConfig().m_Panels[0].m_Breakers[1].m_Name, true), 1);
    ASSERT_EQ(unit.SetOverload("MAIN A", true), 1);
    Wait(8);
    monitor::ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = ProxyAddress();
    app = std::make_unique<monitor::MonitorApp>(true);
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log");
    dlg->PresetConnect(c);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    ASSERT_TRUE(NextCycle());
    ASSERT_TRUE(Pump([&] { return dlg->Breakers()->Model().Icon(1) == ICON_ALARM; }));

    // The alarm: the red fields and the red icon are in the picture.
    const QImage alarm = Shot(dlg.get(), "monitor-breakers-table.png");
    EXPECT_GT(CountColour(alarm, QColor(255, 64, 64)), 500);
    dlg->OnToggleView();
    Shot(dlg.get(), "monitor-breakers-icons.png");
    dlg->OnToggleList();
    Shot(dlg.get(), "monitor-subfeeds-icons.png");
    dlg->OnToggleView();
    const QImage subfeeds = Shot(dlg.get(), "monitor-subfeeds-table.png");
    EXPECT_NE(subfeeds, alarm);
    dlg->OnToggleList();

    dlg->OnEvents();
    ASSERT_TRUE(Pump([&] { return dlg->EventLog()->isVisible(); }));
    Shot(dlg->EventLog(), "monitor-eventlog.png");
    dlg->EventLog()->reject();

    // The trouble line.
    sim::UnitFaults silent;
    silent.silent = true;
    proxy.backend.SetFaults(silent);
    ASSERT_TRUE(Pump([&] { return !dlg->StatusLine()->text().isEmpty(); }));
    Shot(dlg.get(), "monitor-trouble.png");
    proxy.backend.SetFaults({});
    ASSERT_TRUE(Pump([&] { return dlg->StatusLine()->text().isEmpty(); }));

    // The dark palette: the window follows it, the alarm colours stay.
    QApplication::setPalette(DarkPalette());
    const QImage dark = Shot(dlg.get(), "monitor-dark.png");
    EXPECT_LT(MeanLightness(dark), MeanLightness(alarm) - 0.3);
    EXPECT_GT(CountColour(dark, QColor(255, 64, 64)), 500);
    QApplication::setPalette(light);
    dlg->ExitNow();
}

TEST_F(WindowTest, ConnectDialogScreenshot) {
    // Remembered from earlier runs: a proxy over TLS last, COM1 before it.
    const TlsFiles tls{"/etc/jvo/ca.pem", "/home/field/engineer.pem", "/home/field/engineer.key"};
    jvo::qt::SettingsRouteStore().Save(
        {Route::Proxy("tls://gateway.site:43016", tls), Route::Com(1)});
    Open(false);
    monitor::qt::ConnectDlg* c = nullptr;
    ASSERT_TRUE(Pump([&] { return (c = dlg->Ui().Dialog()) && c->isVisible(); }));
    // It opens on the last route, its files filled in.
    EXPECT_TRUE(c->ProxyRadio()->isChecked());
    EXPECT_EQ(c->Server()->text(), "tls://gateway.site:43016");
    EXPECT_EQ(c->TlsKey()->text().toStdString(), tls.key);
    ASSERT_EQ(c->Recent()->count(), 2);
    Shot(c, "monitor-connect-recent.png");
    QApplication::setPalette(DarkPalette());
    Shot(c, "monitor-connect-recent-dark.png");
    QApplication::setPalette(QApplication::style()->standardPalette());
    // The other recent route, chosen from the keyboard, fills the COM fields.
    c->Recent()->setFocus();
    PressKey(c->Recent(), Qt::Key_Down);
    EXPECT_TRUE(c->ComRadio()->isChecked());
    const QImage shot = Shot(c, "monitor-connect.png");
    EXPECT_GT(shot.width(), 200);
    // The TLS files belong to the proxy route.
    EXPECT_FALSE(c->TlsCa()->isEnabled());
    c->ProxyRadio()->setChecked(true);
    EXPECT_TRUE(c->TlsCa()->isEnabled() && c->TlsCert()->isEnabled() && c->TlsKey()->isEnabled());
    Shot(c, "monitor-connect-proxy.png");
    PressKey(c, Qt::Key_Escape);
    ASSERT_TRUE(Pump([&] { return connected == 0; }));
    // The about box's groups and the log path's one line, wider than the groups.
    monitor::qt::CAboutDlg about(MakeAboutView(nullptr), std::string(200, 'x'), nullptr);
    about.show();
    const QImage box = Shot(&about, "monitor-about.png");
    EXPECT_GE(box.width(), about.fontMetrics().horizontalAdvance(QString(200, 'x')));
}

}  // namespace
}  // namespace jvo::test
