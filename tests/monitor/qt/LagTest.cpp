// The window stays responsive while the poll worker runs as fast as an unpaced simulated unit
// answers: a 10 ms timer on the UI thread measures how late it fires; the 99th percentile must
// stay within 50 ms.
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "tests/monitor/qt/WindowFixture.h"

namespace jvo::test {
namespace {

TEST_F(WindowTest, EventLoopLagWhilePolling) {
    monitor::ConnectChoice c;
    app = std::make_unique<monitor::MonitorApp>(true);
    dlg = std::make_unique<monitor::qt::MonitorDlg>(*app, "/tmp/jvo-monitor-test.log");
    dlg->PresetConnect(c, kCom);
    QObject::connect(dlg.get(), &monitor::qt::MonitorDlg::ConnectFinished,
                     [this](bool ok) { connected = ok; });
    dlg->show();
    dlg->Start();
    ASSERT_TRUE(Connected());
    ASSERT_TRUE(NextCycle());

    using Clock = std::chrono::steady_clock;
    std::vector<double> late;
    auto last = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        late.push_back(std::chrono::duration<double, std::milli>(now - last).count() - 10.0);
        last = now;
    });
    const uint64_t before = dlg->Session().Worker().Cycles();
    last = Clock::now();
    probe.start(10);
    // Unit time moves on, so readings (and repaints) change all the while.
    Pump(
        [&] {
            static auto tick = Clock::now();
            if (Clock::now() - tick > std::chrono::seconds(1)) {
                Wait(1);
                tick = Clock::now();
            }
            return late.size() >= 400;
        },
        60000);
    probe.stop();
    ASSERT_GE(late.size(), 400u);
    EXPECT_GE(dlg->Session().Worker().Cycles(), before + 2);  // the worker kept polling
    std::sort(late.begin(), late.end());
    const double p99 = late[late.size() * 99 / 100];
    std::printf("event loop lateness: p50 %.1f ms, p99 %.1f ms, max %.1f ms over %zu ticks\n",
                late[late.size() / 2], p99, late.back(), late.size());
    EXPECT_LE(p99, 50.0);
    dlg->ExitNow();
}

}  // namespace
}  // namespace jvo::test
