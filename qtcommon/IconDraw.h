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

// An icon holding the drawing at 16, 24, 32, 48, 64 and 128 pixels, each at 1x and 2x.
QIcon MakeIcon(const DrawFn& draw);

// Mixes two colours: 0 gives `a`, 1 gives `b`.
QColor Mix(const QColor& a, const QColor& b, qreal t);

// The contrast ratio of two colours, 1 (none) to 21 (black on white): the ratio of their relative
// luminances (sRGB), each plus 0.05, as the accessibility guidelines measure it.
qreal ContrastRatio(const QColor& a, const QColor& b);

// A breaker-panel program icon: a cabinet with two rows of breakers, in `accent`.
void DrawPanelIcon(QPainter& p, const QRectF& r, const QColor& accent);

}  // namespace jvo::qt
