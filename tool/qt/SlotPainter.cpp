// Drawing of the slot images.
#include "tool/qt/SlotPainter.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <algorithm>

#include "qtcommon/IconDraw.h"

namespace jvo::tool::qt {

using jvo::qt::Mix;

namespace {

// The lightest needed grey towards white from `from` that stands out from `ground` by `ratio`.
QColor FrameFor(const QColor& ground, const QColor& from, qreal ratio) {
    for (int step = 0; step <= 20; ++step) {
        const QColor c = Mix(from, Qt::white, step / 20.0);
        if (jvo::qt::ContrastRatio(c, ground) >= ratio) return c;
    }
    return Qt::white;
}

}  // namespace

PictureColours PictureColours::From(const QPalette& p) {
    PictureColours c;
    const QColor window = p.color(QPalette::Window);
    const bool dark = window.lightnessF() < 0.5;
    if (dark) {
        c.background = Mix(window, p.color(QPalette::Dark), 0.35);
        c.border = FrameFor(c.background, Mix(c.background, p.color(QPalette::WindowText), 0.6),
                            jvo::qt::ContrastRatio(kLightFrame, kLightGround));
    } else {
        c.background = kLightGround;
        c.border = kLightFrame;
    }
    c.text = p.color(QPalette::WindowText);
    c.well = Mix(c.background, p.color(QPalette::Shadow), dark ? 0.35 : 0.12);
    c.highlight = p.color(QPalette::Highlight);
    return c;
}

QSize SlotImageSize(const SlotImage& image, bool compact) {
    const int poles = std::clamp(image.m_Poles, 1, 3);
    return compact ? QSize(88, 24 * poles) : QSize(125, 32 * poles);
}

namespace {

void DrawEmpty(QPainter& p, const QRectF& r, const PictureColours& c, bool hover) {
    // A blank filler plate in its recess; the knock-out outline shows where a breaker would go.
    const QRectF plate = r.adjusted(r.width() * 0.10 + 0.5, 2.5, -r.width() * 0.10 - 0.5, -2.5);
    p.setPen(QPen(hover ? c.highlight : Mix(c.well, c.border, 0.5), hover ? 1.5 : 1.0));
    p.setBrush(hover ? Mix(c.well, c.highlight, 0.25) : c.well);
    p.drawRoundedRect(plate, 2, 2);
    p.setPen(QPen(Mix(c.well, c.border, 0.35), 1.0, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(plate.adjusted(plate.width() * 0.30, 3, -plate.width() * 0.30, -3), 1.5, 1.5);
}

void DrawBreaker(QPainter& p, const QRectF& r, int poles, const PictureColours& c, bool hover) {
    const qreal ph = r.height() / poles;
    const qreal w = r.width();
    // The moulded body, darker towards the bottom; lighter under the mouse.
    const QRectF body = r.adjusted(w * 0.08 + 0.5, 1.5, -w * 0.06 - 0.5, -1.5);
    QLinearGradient fill(body.topLeft(), body.bottomLeft());
    const QColor top = hover ? QColor(92, 100, 112) : QColor(70, 75, 84);
    fill.setColorAt(0, top);
    fill.setColorAt(1, top.darker(135));
    p.setPen(QPen(hover ? c.highlight : QColor(24, 26, 30), hover ? 2.0 : 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(body, 3, 3);

    const QRectF slotWindow(body.left() + w * 0.38, 0, w * 0.26, ph * 0.56);
    for (int k = 0; k < poles; ++k) {
        const qreal cy = r.top() + ph * k + ph / 2;
        // Pole divider.
        if (k > 0) {
            p.setPen(QPen(QColor(30, 32, 36), 1.0));
            p.drawLine(QPointF(body.left() + 3, r.top() + ph * k + 0.5),
                       QPointF(body.right() - 3, r.top() + ph * k + 0.5));
        }
        // Wire terminal screw on the outer side.
        const qreal rad = ph * 0.20;
        const QPointF screw(body.left() + w * 0.11, cy);
        p.setPen(QPen(QColor(40, 40, 40), 1.0));
        p.setBrush(QColor(196, 198, 202));
        p.drawEllipse(screw, rad, rad);
        p.setPen(QPen(QColor(80, 80, 80), std::max(1.0, rad * 0.35)));
        p.drawLine(screw + QPointF(-rad * 0.6, 0), screw + QPointF(rad * 0.6, 0));
        // The handle's window, and the toggle thrown towards the bus (on).
        QRectF win = slotWindow;
        win.moveCenter(QPointF(slotWindow.center().x(), cy));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(18, 19, 22));
        p.drawRoundedRect(win, 2, 2);
        const QRectF toggle(win.left() + win.width() * 0.45, win.top() + 1.5, win.width() * 0.5,
                            win.height() - 3);
        QLinearGradient tg(toggle.topLeft(), toggle.topRight());
        tg.setColorAt(0, QColor(150, 154, 160));
        tg.setColorAt(1, QColor(226, 228, 232));
        p.setBrush(tg);
        p.drawRoundedRect(toggle, 1.5, 1.5);
        // Rating tab: a small light label on the bus side.
        const QRectF tab(body.right() - w * 0.17, cy - ph * 0.16, w * 0.10, ph * 0.32);
        p.setBrush(hover ? c.highlight.lighter(130) : QColor(214, 176, 64));
        p.drawRoundedRect(tab, 1, 1);
    }
    if (poles > 1) {
        // The handle tie: a bar across all toggles.
        const qreal x = r.left() + w * 0.08 + w * 0.38 + w * 0.26 * 0.70;
        const QRectF tie(x - 1.5, r.top() + ph * 0.5, 3, ph * (poles - 1));
        p.setBrush(QColor(236, 238, 240));
        p.setPen(QPen(QColor(40, 40, 40), 0.8));
        p.drawRect(tie);
    }
}

}  // namespace

QImage DrawSlotImage(const SlotImage& image, bool compact, qreal ratio,
                     const PictureColours& colours) {
    const QSize size = SlotImageSize(image, compact);
    return jvo::qt::RenderImage(size, ratio, [&](QPainter& p, const QRectF& r) {
        p.fillRect(r, colours.background);
        if (image.m_Mirrored) {
            p.translate(r.width(), 0);
            p.scale(-1, 1);
        }
        if (image.m_Poles <= 0)
            DrawEmpty(p, r, colours, image.m_Hover);
        else
            DrawBreaker(p, r, std::min(image.m_Poles, 3), colours, image.m_Hover);
    });
}

}  // namespace jvo::tool::qt
