// One application object for the whole run of the window tests, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

// The system's font configuration library keeps a cache it never frees; that is not ours to
// report under LeakSanitizer.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    return RUN_ALL_TESTS();
}
