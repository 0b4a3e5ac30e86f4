// jvo-monitor: the JVO/TKA monitor's window program.
#include <QApplication>
#include <cstdio>

#include "monitor/MonitorApp.h"
#include "monitor/qt/AboutDlg.h"
#include "monitor/qt/MonitorDlg.h"
#include "monitor/qt/MonitorOptions.h"
#include "monitor/qt/ScreenshotRun.h"
#include "qtcommon/CommandLine.h"
#include "qtcommon/EndRequests.h"
#include "qtcommon/LogFile.h"

using namespace jvo::monitor;
using namespace jvo::monitor::qt;

int main(int argc, char** argv) {
    MonitorOptions options;
    const int early = ParseMonitorOptions(argc, argv, options);
    if (early >= 0) return early;

    jvo::qt::LogFile log(jvo::qt::DefaultLogPath("jvo-monitor"));
    // The toolkit gets the program's name and its own options, which the parse set aside.
    jvo::qt::ToolkitArgv qtArgs(argv[0], options.toolkit);
    QApplication app(qtArgs.Argc(), qtArgs.Argv());
    for (const std::string& unused : qtArgs.Unused())
        std::fprintf(stderr, "jvo-monitor: Qt did not use '%s' here\n", unused.c_str());
    QApplication::setApplicationName(QStringLiteral("jvo-monitor"));
    QGuiApplication::setDesktopFileName(
        QStringLiteral("jvo-monitor"));  // the menu entry, for docks
    QApplication::setWindowIcon(MonitorIcon());

    MonitorApp monitorApp;
    MonitorDlg dlg(monitorApp, log.Path());
    if (options.preset) dlg.PresetConnect(options.connect, options.comPort);
    bool endRequested = false;  // from outside: the program ends with status 0
    jvo::qt::WatchEndRequests(&dlg, [&] {
        endRequested = true;
        dlg.EndOnRequest();
    });
    QObject::connect(&dlg, &MonitorDlg::ConnectFinished, &app, [&endRequested](bool connected) {
        if (!connected && !endRequested) QApplication::exit(jvo::qt::kExitNotCompleted);
    });
    if (!options.screenshots.empty())
        new ScreenshotRun(dlg, QString::fromStdString(options.screenshots));
    dlg.show();
    dlg.Start();
    return QApplication::exec();
}
