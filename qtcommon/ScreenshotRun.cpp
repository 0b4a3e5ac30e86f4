#include "qtcommon/ScreenshotRun.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

#include "qtcommon/CommandLine.h"

namespace jvo::qt {

ScreenshotRun::ScreenshotRun(QObject* parent, const char* program, const char* giveUp)
    : QObject(parent), m_Program(program) {
    QTimer::singleShot(kGiveUpMs, this, [this, giveUp] {
        // The program may be busy: judge by this run's own progress, not by its state, and end
        // at once rather than unwinding through a wait on the window's thread.
        std::fprintf(stderr, "%s: %s\n", m_Program, giveUp);
        std::fflush(nullptr);
        std::_Exit(GiveUpStatus());
    });
}

int ScreenshotRun::GiveUpStatus() const {
    return jvo::cmdline::kExitFailed;
}

bool ScreenshotRun::Save(QWidget* w, const QString& path) {
    if (!w->grab().save(path, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", m_Program, path.toLocal8Bit().constData());
        return false;
    }
    m_Saved << path;
    return true;
}

void ScreenshotRun::Finish(bool saved) {
    for (const QString& p : m_Saved)
        std::printf("%s\n", p.toLocal8Bit().constData());
    std::fflush(stdout);
    m_Finished = true;
    QApplication::exit(saved ? jvo::cmdline::kExitOk : jvo::cmdline::kExitOutput);
}

void ScreenshotRun::Fail(int status, const char* why) {
    std::fprintf(stderr, "%s: %s\n", m_Program, why);
    m_Finished = true;
    QApplication::exit(status);
}

}  // namespace jvo::qt
