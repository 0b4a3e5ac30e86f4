// Icons drawn in code.
#include "qtcommon/IconDraw.h"

#include <cmath>

namespace jvo::qt {

QImage RenderImage(QSize logical, qreal ratio, const DrawFn& draw) {
    const QSize device(static_cast<int>(std::lround(logical.width() * ratio)),
                       static_cast<int>(std::lround(logical.height() * ratio)));
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(QPointF(0, 0), QSizeF(logical)));
    return image;
}

QIcon MakeIcon(const DrawFn& draw) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        for (qreal ratio : {1.0, 2.0})
            icon.addPixmap(QPixmap::fromImage(RenderImage(QSize(size, size), ratio, draw)));
    return icon;
}

QColor Mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

namespace {
qreal Linear(qreal channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}
qreal Luminance(const QColor& c) {
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}
}  // namespace

qreal ContrastRatio(const QColor& a, const QColor& b) {
    const qreal la = Luminance(a) + 0.05;
    const qreal lb = Luminance(b) + 0.05;
    return la > lb ? la / lb : lb / la;
}

void DrawPanelIcon(QPainter& p, const QRectF& r, const QColor& accent) {
    const qreal u = r.width() / 16.0;
    const QRectF cabinet = r.adjusted(1.5 * u, 0.5 * u, -1.5 * u, -0.5 * u);
    p.setPen(QPen(QColor(40, 44, 52), std::max(1.0, 0.8 * u)));
    p.setBrush(QColor(200, 204, 210));
    p.drawRoundedRect(cabinet, 1.2 * u, 1.2 * u);
    // Two columns of breakers, one of them switched on in the accent colour.
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 2; ++col) {
            const QRectF b(cabinet.left() + (1.5 + col * 6.0) * u,
                           cabinet.top() + (2 + row * 3.2) * u, 4.5 * u, 2.2 * u);
            p.setPen(Qt::NoPen);
            p.setBrush(row == 1 && col == 0 ? accent : QColor(52, 56, 64));
            p.drawRoundedRect(b, 0.5 * u, 0.5 * u);
        }
    }
}

}  // namespace jvo::qt
