// Icons drawn in code.
#include "qtcommon/IconDraw.h"

#include <QIconEngine>
#include <algorithm>
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

namespace {

class DrawnIconEngine final : public QIconEngine {
public:
    explicit DrawnIconEngine(DrawFn draw) : m_Draw(std::move(draw)) {}

    QIconEngine* clone() const override { return new DrawnIconEngine(m_Draw); }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }
    // `size` is in device pixels; the drawing runs at `scale` on a square of that many pixels.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const int side = std::min(size.width(), size.height());
        if (side <= 0) return {};
        scale = std::max<qreal>(scale, 0.01);
        const qreal logical = side / scale;
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            m_Draw(p, QRectF(0, 0, logical, logical));
        }
        if (mode == QIcon::Disabled) Pale(image);
        return QPixmap::fromImage(image);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        const int side = std::min(rect.width(), rect.height());
        QPixmap pix = scaledPixmap(QSize(side, side) * ratio, mode, state, ratio);
        pix.setDevicePixelRatio(ratio);
        const QRect square(rect.center() - QPoint(side / 2, side / 2), QSize(side, side));
        painter->drawPixmap(square, pix);
    }

private:
    // Greys of the drawing, lighter and half transparent.
    static void Pale(QImage& image) {
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = QColor::fromRgba(qUnpremultiply(line[x]));
                const int grey = 128 + qGray(c.rgb()) / 2;
                line[x] = qPremultiply(qRgba(grey, grey, grey, c.alpha() / 2));
            }
        }
    }

    DrawFn m_Draw;
};

}  // namespace

QIcon MakeIcon(DrawFn draw) {
    return QIcon(new DrawnIconEngine(std::move(draw)));
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
