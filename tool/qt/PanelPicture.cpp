// The panel picture's off-screen image and its drawing operations.
#include "tool/qt/PanelPicture.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QtMath>
#include <algorithm>

#include "qtcommon/UiCall.h"

namespace jvo::tool::qt {

using jvo::qt::CallOnUi;

namespace {
constexpr qreal kMinZoom = 0.5;
}  // namespace

PanelPicture::PanelPicture(bool compact, QWidget* parent)
    : QWidget(parent),
      m_Compact(compact),
      m_Base(compact ? QSize(UserMap::kCompactWidth, UserMap::kCompactHeight)
                     : QSize(UserMap::kLargeWidth, UserMap::kLargeHeight)),
      m_Colours(PictureColours::From(palette())) {
    // The height comes from the window, the width follows it (resizeEvent).
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setFixedWidth(m_Base.width());
    setMinimumHeight(qCeil(m_Base.height() * kMinZoom));
    setMaximumHeight(m_Base.height());
    setMouseTracking(true);
    // Reached with Tab only: a click leaves the focus where it is, so that Enter goes on reaching
    // the window's Enter key for a mouse user.
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    EnsureImage();
}

bool PanelPicture::EnsureImage() {
    // The image's pixel ratio maps picture pixels onto device pixels, so the core draws in
    // picture pixels at any scale.
    const qreal ratio = std::max<qreal>(1.0, devicePixelRatioF()) * m_Zoom;
    if (!m_Image.isNull() && qFuzzyCompare(m_Image.devicePixelRatio(), ratio)) return false;
    m_Image =
        QImage(qCeil(m_Base.width() * ratio), qCeil(m_Base.height() * ratio), QImage::Format_RGB32);
    m_Image.setDevicePixelRatio(ratio);
    m_Image.fill(m_Colours.background);
    m_Slots.clear();
    return true;
}

QPoint PanelPicture::ToPicture(const QPointF& widget) const {
    return QPoint(qFloor(widget.x() / m_Zoom), qFloor(widget.y() / m_Zoom));
}

void PanelPicture::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const qreal zoom = std::clamp<qreal>(qreal(height()) / m_Base.height(), kMinZoom, 1.0);
    if (qFuzzyCompare(zoom, m_Zoom)) return;
    m_Zoom = zoom;
    setFixedWidth(qCeil(m_Base.width() * zoom));
    const QImage old = m_Image;
    if (!EnsureImage()) return;
    // The old picture, scaled, stands in until the core has drawn it anew (at once, or when a
    // workflow that is running has ended).
    QPainter p(&m_Image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(QPointF(0, 0), QSizeF(m_Base)), old);
    p.end();
    emit NeedsRedraw();
}

QColor PanelPicture::ColourOf(const MapColour& c) const {
    if (c == kMapBackground) return m_Colours.background;
    if (c == kMapBorder) return m_Colours.border;
    return QColor(c.m_Red, c.m_Green, c.m_Blue);
}

const QImage& PanelPicture::SlotImageFor(const SlotImage& image) {
    const auto key = std::make_tuple(image.m_Poles, image.m_Mirrored, image.m_Hover);
    auto it = m_Slots.find(key);
    if (it == m_Slots.end())
        it = m_Slots
                 .emplace(key,
                          DrawSlotImage(image, m_Compact, m_Image.devicePixelRatio(), m_Colours))
                 .first;
    return it->second;
}

void PanelPicture::Clear(const MapColour& colour) {
    CallOnUi(this, [&] {
        EnsureImage();
        m_Image.fill(ColourOf(colour));
    });
}

void PanelPicture::Frame(const MapRect& rect, const MapColour& colour, int penWidth, bool inset) {
    CallOnUi(this, [&] {
        MapRect r = rect;
        if (inset) {
            r.m_Left += 1;
            r.m_Top += 1;
            r.m_Right += 1 - penWidth;
            r.m_Bottom += 1 - penWidth;
        }
        QPainter p(&m_Image);
        QPen pen(ColourOf(colour), penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
        p.setPen(pen);
        const QPoint pts[] = {{r.m_Left, r.m_Top},
                              {r.m_Left, r.m_Bottom},
                              {r.m_Right, r.m_Bottom},
                              {r.m_Right, r.m_Top},
                              {r.m_Left, r.m_Top}};
        p.drawPolyline(pts, 5);
    });
}

void PanelPicture::Image(const SlotImage& image, const MapRect& rect) {
    CallOnUi(this, [&] {
        QPainter p(&m_Image);
        const QImage& whole = SlotImageFor(image);
        if (image.m_ShownPoles <= 0) {
            p.drawImage(QPoint(rect.m_Left, rect.m_Top), whole);
            return;
        }
        // A part: the pole rows it shows, cut from the owner's whole image.
        const qreal ratio = whole.devicePixelRatio();
        const qreal pole = SlotImageSize(SlotImage{1}, m_Compact).height();
        const qreal width = whole.width() / ratio;
        const QRectF target(rect.m_Left, rect.m_Top, width, pole * image.m_ShownPoles);
        const QRectF source(0, pole * image.m_FromPole * ratio, whole.width(),
                            pole * image.m_ShownPoles * ratio);
        p.drawImage(target, whole, source);
    });
}

void PanelPicture::Text(const MapRect& rect, const std::string& text) {
    CallOnUi(this, [&] {
        QPainter p(&m_Image);
        p.setPen(m_Colours.text);
        p.setFont(font());
        p.drawText(
            QRect(QPoint(rect.m_Left, rect.m_Top), QPoint(rect.m_Right - 1, rect.m_Bottom - 1)),
            Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(text));
    });
}

void PanelPicture::Repaint() {
    CallOnUi(this, [this] { update(); });
}

QPoint PanelPicture::SlotCentre(const UserMap& map, const Slot& slot) {
    const GridCell cell = MapSlot(slot);
    const MapRect r = map.GridRect(cell.m_Column, cell.m_Row, cell.m_Column + 5, cell.m_Row + 1);
    return QPoint((r.m_Left + r.m_Right) / 2, (r.m_Top + r.m_Bottom) / 2);
}

void PanelPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // One image pixel on each device pixel.
    const qreal ratio = std::max<qreal>(1.0, devicePixelRatioF());
    p.fillRect(rect(), m_Colours.background);
    p.drawImage(QRectF(0, 0, m_Image.width() / ratio, m_Image.height() / ratio), m_Image);
    if (hasFocus() && m_KeyFocus) {
        // Reached with the keyboard: a dotted line just inside its frame says it works there.
        QPen pen(palette().color(QPalette::Highlight), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

namespace {

// The picture's keys and what UserMap::OnKey makes of them.
int MapKeyOf(int key) {
    switch (key) {
        case Qt::Key_Left:
            return static_cast<int>(UserMap::MapKey::LEFT);
        case Qt::Key_Right:
            return static_cast<int>(UserMap::MapKey::RIGHT);
        case Qt::Key_Up:
            return static_cast<int>(UserMap::MapKey::UP);
        case Qt::Key_Down:
            return static_cast<int>(UserMap::MapKey::DOWN);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return static_cast<int>(UserMap::MapKey::ENTER);
        default:
            return -1;
    }
}

}  // namespace

bool PanelPicture::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // Enter on the focused picture is the picture's (it applies an open edit all the same).
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->modifiers() == Qt::NoModifier && MapKeyOf(k->key()) >= 0) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const QPoint at = ToPicture(help->pos());
        const QString tip = m_Tips ? m_Tips(at.x(), at.y()) : QString();
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(e);
}

void PanelPicture::keyPressEvent(QKeyEvent* e) {
    const int key = MapKeyOf(e->key());
    if (key < 0 || e->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(e);
        return;
    }
    emit KeyPressed(key);
}

void PanelPicture::contextMenuEvent(QContextMenuEvent* e) {
    // The mouse's menu comes with its button's release; this is the keyboard's.
    if (e->reason() == QContextMenuEvent::Keyboard) emit MenuKeyPressed();
}

void PanelPicture::focusInEvent(QFocusEvent* e) {
    QWidget::focusInEvent(e);
    m_KeyFocus = e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason ||
                 e->reason() == Qt::ShortcutFocusReason;
    update();
}

void PanelPicture::focusOutEvent(QFocusEvent* e) {
    QWidget::focusOutEvent(e);
    update();
}

void PanelPicture::mouseMoveEvent(QMouseEvent* e) {
    const QPoint pos = ToPicture(e->position());
    emit MouseMoved(pos.x(), pos.y());
}

void PanelPicture::leaveEvent(QEvent*) {
    emit MouseLeft();
}

void PanelPicture::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint pos = ToPicture(e->position());
    if (e->button() == Qt::LeftButton) emit LeftReleased(pos.x(), pos.y());
    if (e->button() == Qt::RightButton) {
        const QPoint global = e->globalPosition().toPoint();
        emit RightReleased(pos.x(), pos.y(), global.x(), global.y());
    }
}

void PanelPicture::mouseDoubleClickEvent(QMouseEvent* e) {
    const QPoint pos = ToPicture(e->position());
    if (e->button() == Qt::LeftButton) emit LeftDoubleClicked(pos.x(), pos.y());
}

void PanelPicture::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange) {
        m_Colours = PictureColours::From(palette());
        m_Slots.clear();
        emit NeedsRedraw();
    }
}

}  // namespace jvo::tool::qt
