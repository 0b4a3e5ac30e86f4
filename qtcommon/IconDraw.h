#pragma once
// Drawing icons and small images in code, crisp at every device pixel ratio: the drawing function
// works in logical pixels and is run once per ratio at the full device resolution, rather than
// scaling a bitmap drawn at 1x.
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRectF>
#include <functional>

namespace jvo::qt {

using DrawFn = std::function<void(QPainter&, const QRectF&)>;

// An image of `logical` size at `ratio` (device pixels = logical × ratio, rounded), transparent,
// with `draw` run in logical coordinates (antialiased). QImage, so it may be made on any thread.
QImage RenderImage(QSize logical, qreal ratio, const DrawFn& draw);

// An icon that runs the drawing at whatever size and device pixel ratio it is asked for (a 16
// pixel icon at 150 % is drawn at 24 device pixels, not scaled down from 32). Disabled, it is
// drawn in paler greys.
QIcon MakeIcon(DrawFn draw);

// Mixes two colours: 0 gives `a`, 1 gives `b`.
QColor Mix(const QColor& a, const QColor& b, qreal t);

// The contrast ratio of two colours, 1 (none) to 21 (black on white): the ratio of their relative
// luminances (sRGB), each plus 0.05, as the accessibility guidelines measure it.
qreal ContrastRatio(const QColor& a, const QColor& b);

// A breaker-panel program icon: a cabinet with two rows of breakers, in `accent`.
void DrawPanelIcon(QPainter& p, const QRectF& r, const QColor& accent);

}  // namespace jvo::qt
