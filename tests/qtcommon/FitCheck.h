#pragma once
// What the window-fit tests check of a main window on the screen of their run. Each run is its
// own ctest entry with the scale (QT_SCALE_FACTOR) and the offscreen platform's screen (a file
// under tests/qtcommon/screens) set in its environment, and optionally JVO_FIT_LIMIT=WxH, the
// device pixels the window must fit in (the screen less a title bar and a taskbar), and
// JVO_FIT_NAME, the run's name in the screenshots' file names.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <cstdlib>

namespace jvo::test {

struct FitRun {
    QRect screen;  // device pixels
    qreal ratio = 1;
    QSize limit;  // device pixels
    QString name;
};

inline QRect ToDevice(const QRect& r, qreal ratio) {
    return QRect(QPoint(qRound(r.left() * ratio), qRound(r.top() * ratio)),
                 QSize(qRound(r.width() * ratio), qRound(r.height() * ratio)));
}

inline FitRun CurrentFitRun() {
    FitRun run;
    const QScreen* screen = QGuiApplication::primaryScreen();
    run.ratio = screen->devicePixelRatio();
    run.screen = ToDevice(screen->geometry(), run.ratio);
    run.limit = run.screen.size();
    const QString limit = qEnvironmentVariable("JVO_FIT_LIMIT");
    if (const qsizetype x = limit.indexOf('x'); x > 0)
        run.limit = QSize(limit.left(x).toInt(), limit.mid(x + 1).toInt());
    run.name = qEnvironmentVariable("JVO_FIT_NAME", QStringLiteral("run"));
    return run;
}

// The window, its frame included, is no larger than the run's limit and lies on the screen.
inline void ExpectFits(const QWidget* window, const FitRun& run) {
    const QRect frame = ToDevice(window->frameGeometry(), run.ratio);
    EXPECT_LE(frame.width(), run.limit.width()) << run.name.toStdString();
    EXPECT_LE(frame.height(), run.limit.height()) << run.name.toStdString();
    EXPECT_TRUE(run.screen.contains(frame)) << run.name.toStdString();
    // Resizable both ways, maximising included.
    EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

// Every shown button of `window` lies on the screen, whole, and is not cut by a scroll area.
// Returns how many were checked.
inline int ExpectButtonsOnScreen(const QWidget* window, const FitRun& run) {
    int checked = 0;
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window) || b->size().isEmpty() || !b->window()->isVisible()) continue;
        if (b->window() != window) continue;  // a dialog of its own
        ++checked;
        const QRect global(b->mapToGlobal(QPoint(0, 0)), b->size());
        const std::string what = (b->text().isEmpty() ? b->objectName() : b->text()).toStdString();
        EXPECT_TRUE(run.screen.contains(ToDevice(global, run.ratio)))
            << what << " at " << global.x() << "," << global.y() << " " << run.name.toStdString();
        EXPECT_EQ(b->visibleRegion().boundingRect(), b->rect()) << what << " is cut off";
    }
    return checked;
}

// Saves `w` as NAME.png in $JVO_SCREENSHOT_DIR (else the test's folder); false when it cannot.
inline bool SaveShot(QWidget* w, const QString& name) {
    const QString env = qEnvironmentVariable("JVO_SCREENSHOT_DIR");
    const QString dir = env.isEmpty() ? qEnvironmentVariable("JVO_TEST_TMP") + "/screenshots" : env;
    QDir().mkpath(dir);
    return w->grab().save(dir + "/" + name + ".png", "PNG");
}

}  // namespace jvo::test
