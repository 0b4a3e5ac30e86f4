// The window tests need one application object for the whole run.
#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <string>

#include "tests/qtcommon/FreshSettings.h"

// The system's libraries under a real display keep memory they never free (the font
// configuration's cache, the D-Bus connection of the X platform); not ours to report under
// LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libdbus-1\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The programs' settings go to a folder of this run, never the user's (a test that looks at
    // them sets its own).
    const char* tmp = std::getenv("JVO_TEST_TMP");
    const std::string config =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/config-" + std::to_string(::getpid());
    QDir().mkpath(QString::fromStdString(config));
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QApplication app(argc, argv);
    jvo::test::UseFreshSettings();
    const int status = RUN_ALL_TESTS();
    QDir(QString::fromStdString(config)).removeRecursively();
    return status;
}
