#pragma once
// Fitting the windows to the screen they open on, at any scale (a laptop at 150 % has a work area
// of some 1280 x 690 logical pixels): a main window opens at its natural size when the work area
// has room for it and as large as the work area allows otherwise, and its contents scroll when
// the user makes it smaller than they can shrink. Message boxes are made wide enough for their
// title.
#include <QRect>
#include <QSize>

class QMessageBox;
class QScreen;
class QScrollArea;
class QWidget;

namespace jvo::qt {

// Room kept for the window manager's title bar and borders, in logical pixels: a window's frame
// is not known before it is shown, and it must fit the work area too.
constexpr int kTitleBarReserve = 48;
constexpr int kBorderReserve = 8;

// The part of `screen`'s work area that a window's contents (without its frame) may fill.
QRect FitArea(const QScreen* screen);
// `wanted` bounded by FitArea of the screen `window` opens on.
QSize FitSize(const QWidget* window, QSize wanted);

// A frameless scroll area holding `content`: it gives `content` its whole size and scrolls only
// when it is smaller than `content` can shrink.
QScrollArea* ScrollingArea(QWidget* content, QWidget* parent);

// Widens `box` so that its whole title can be shown beside the title bar's buttons (the box's
// own allowance is 50 pixels, which cut "JVO Config Tool" to "JVO C... Tool"). Call it once the
// box is set up, before it is shown.
void ShowWholeTitle(QMessageBox* box);

}  // namespace jvo::qt
