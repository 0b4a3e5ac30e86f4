// jvo-config: the JVO configuration tool's window program.
#include <QApplication>
#include <QScreen>
#include <cstdio>

#include "qtcommon/CommandLine.h"
#include "qtcommon/EndRequests.h"
#include "qtcommon/LogFile.h"
#include "tool/qt/AboutDlg.h"
#include "tool/qt/ScreenshotRun.h"
#include "tool/qt/ToolApp.h"
#include "tool/qt/ToolOptions.h"

using namespace jvo::tool;
using namespace jvo::tool::qt;

int main(int argc, char** argv) {
    ToolOptions options;
    const int early = ParseToolOptions(argc, argv, options);
    if (early >= 0) return early;

    jvo::qt::LogFile log(jvo::qt::DefaultLogPath("jvo-config"));
    // The toolkit gets the program's name and its own options, which the parse set aside.
    jvo::qt::ToolkitArgv qtArgs(argv[0], options.toolkit);
    QApplication app(qtArgs.Argc(), qtArgs.Argv());
    for (const std::string& unused : qtArgs.Unused())
        std::fprintf(stderr, "jvo-config: Qt did not use '%s' here\n", unused.c_str());
    QApplication::setApplicationName(QStringLiteral("jvo-config"));
    QGuiApplication::setDesktopFileName(QStringLiteral("jvo-config"));  // the menu entry, for docks
    QApplication::setWindowIcon(ToolIcon());

    WindowLayout layout = options.layout;
    if (!options.layoutGiven) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        layout = ChooseWindowLayout(screen ? screen->availableGeometry().height() : 0);
    }
    ToolApp tool(layout, log.Path());
    jvo::qt::WatchEndRequests(&tool, [&tool] { tool.EndOnRequest(); });
    if (options.connect.m_Kind != ConnectResult::CANCELLED || !options.offlineFile.empty())
        tool.Ui().PresetConnect(options.connect, options.offlineFile);
    ScreenshotRun* run = nullptr;
    if (!options.screenshot.empty()) {
        tool.Ui().SetUnattended(true);
        run = new ScreenshotRun(tool, QString::fromStdString(options.screenshot),
                                !options.offlineFile.empty());
    }
    tool.Start();
    const int status = QApplication::exec();
    // A screenshot run that ended before its screenshot (the start-up chose to exit) failed.
    return run && !run->Finished() ? run->FailureStatus() : status;
}
