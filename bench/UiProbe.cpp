// jvo-bench-ui: the monitor's main window, as jvo-monitor runs it, with a probe on its event
// loop: once polling has begun and the window has settled, a 10 ms timer measures how late each
// tick fires for the given time, then the program prints
//   LAG ticks=N p50=MS p99=MS max=MS cycles=N
// and exits. jvo-bench runs it against an unpaced jvo-sim.
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/MonitorApp.h"
#include "monitor/qt/MonitorDlg.h"

using namespace jvo::monitor;
using namespace jvo::monitor::qt;

namespace {

using Clock = std::chrono::steady_clock;

int Usage() {
    std::fputs("Usage: jvo-bench-ui --com N | --device PATH [--seconds S] [--settle S]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ConnectChoice choice;
    int com = 0;
    double seconds = 10, settle = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--com")
            com = std::atoi(argv[i + 1]);
        else if (a == "--device")
            choice.m_Device = argv[i + 1];
        else if (a == "--seconds")
            seconds = std::atof(argv[i + 1]);
        else if (a == "--settle")
            settle = std::atof(argv[i + 1]);
        else
            return Usage();
    }
    if (argc % 2 == 0 || (com <= 0 && choice.m_Device.empty()) || seconds <= 0) return Usage();

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    MonitorApp monitorApp;
    MonitorDlg dlg(monitorApp, std::string());
    dlg.PresetConnect(choice, com);
    QObject::connect(&dlg, &MonitorDlg::ConnectFinished, &app, [](bool connected) {
        if (!connected) {
            std::fputs("jvo-bench-ui: not connected\n", stderr);
            QApplication::exit(1);
        }
    });

    std::vector<double> late;
    auto last = Clock::now();
    Clock::time_point probeEnd;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        late.push_back(std::chrono::duration<double, std::milli>(now - last).count() - 10.0);
        last = now;
        if (now < probeEnd) return;
        probe.stop();
        std::sort(late.begin(), late.end());
        std::printf("LAG ticks=%zu p50=%.2f p99=%.2f max=%.2f cycles=%llu\n", late.size(),
                    late[late.size() / 2], late[late.size() * 99 / 100], late.back(),
                    static_cast<unsigned long long>(dlg.Session().Worker().Cycles()));
        std::fflush(stdout);
        dlg.ExitNow();
        QApplication::exit(0);
    });
    // Waits for the first full poll cycle, lets the window settle, then starts the probe.
    QTimer start;
    QObject::connect(&start, &QTimer::timeout, [&] {
        if (dlg.Session().Worker().Cycles() < 1) return;
        start.stop();
        QTimer::singleShot(static_cast<int>(settle * 1000), [&] {
            last = Clock::now();
            probeEnd = last + std::chrono::duration_cast<Clock::duration>(
                                  std::chrono::duration<double>(seconds));
            probe.start(10);
        });
    });
    start.start(50);
    dlg.show();
    dlg.Start();
    return QApplication::exec();
}
