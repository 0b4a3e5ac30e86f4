// The four status icons of each list.
#include "monitor/qt/StatusIcons.h"

#include <QApplication>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <array>

#include "monitor/DisplayModel.h"
#include "qtcommon/IconDraw.h"

namespace jvo::monitor::qt {

namespace {

void DrawLamp(QPainter& p, const QRectF& r, IconSet set, int image) {
    const QColor fill = StatusColour(image);
    const qreal u = r.width() / 16.0;
    const QRectF body = r.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u);
    p.setPen(QPen(jvo::qt::Mix(fill, Qt::black, 0.55), 1.0 * u));
    QLinearGradient shade(body.topLeft(), body.bottomRight());
    shade.setColorAt(0, jvo::qt::Mix(fill, Qt::white, 0.45));
    shade.setColorAt(1, fill);
    p.setBrush(shade);
    if (set == IconSet::Breaker)
        p.drawEllipse(body);
    else
        p.drawRoundedRect(body, 2.5 * u, 2.5 * u);
    // A mark inside for the two that call for attention, so colour is not the only cue.
    if (image == ICON_ALARM || image == ICON_WARNING) {
        p.setPen(Qt::NoPen);
        p.setBrush(image == ICON_ALARM ? QColor(Qt::white) : QColor(60, 50, 0));
        p.drawRoundedRect(QRectF(r.center().x() - 1.0 * u, r.top() + 4.0 * u, 2.0 * u, 5.0 * u),
                          0.6 * u, 0.6 * u);
        p.drawEllipse(QRectF(r.center().x() - 1.0 * u, r.top() + 10.0 * u, 2.0 * u, 2.0 * u));
    }
}

}  // namespace

QColor StatusColour(int image) {
    switch (image) {
        case ICON_LOAD:
            return QColor(40, 170, 60);
        case ICON_WARNING:
            return QColor(255, 255, 64);
        case ICON_ALARM:
            return QColor(255, 64, 64);
        default:
            return QColor(150, 150, 150);
    }
}

QIcon StatusIcon(IconSet set, int image, bool stale) {
    if (image < ICON_LOAD || image > ICON_IDLE) image = ICON_IDLE;
    static std::array<std::array<QIcon, 4>, 2> cache;
    QIcon& icon = cache[set == IconSet::Subfeed][image];
    if (icon.isNull()) {
        for (qreal ratio : {1.0, 2.0})
            icon.addPixmap(QPixmap::fromImage(jvo::qt::RenderImage(
                QSize(16, 16), ratio,
                [set, image](QPainter& p, const QRectF& r) { DrawLamp(p, r, set, image); })));
    }
    if (!stale) return icon;
    // The greyed icons follow the palette: made again when it changed.
    static std::array<std::array<QIcon, 4>, 2> greyed;
    static qint64 greyedFor = 0;
    const QPalette palette = QApplication::palette();
    if (palette.cacheKey() != greyedFor) {
        greyed = {};
        greyedFor = palette.cacheKey();
    }
    QIcon& grey = greyed[set == IconSet::Subfeed][image];
    if (grey.isNull()) {
        QStyleOption option;
        option.palette = palette;
        for (qreal ratio : {1.0, 2.0}) {
            QPixmap pm = QApplication::style()->generatedIconPixmap(
                QIcon::Disabled, icon.pixmap(QSize(16, 16), ratio), &option);
            pm.setDevicePixelRatio(ratio);
            grey.addPixmap(pm);
        }
    }
    return grey;
}

}  // namespace jvo::monitor::qt
