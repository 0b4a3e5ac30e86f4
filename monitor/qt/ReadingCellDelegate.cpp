#include "monitor/qt/ReadingCellDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGlyphRun>
#include <QPainter>
#include <QStyle>
#include <QtMath>

namespace jvo::monitor::qt {

namespace {

bool PlainAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
    return true;
}

}  // namespace

void ReadingCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (!PaintPlain(painter, option, index)) QStyledItemDelegate::paint(painter, option, index);
}

bool ReadingCellDelegate::PaintPlain(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const auto others =
        QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator;
    if (opt.direction != Qt::LeftToRight || (opt.features & others) ||
        !opt.showDecorationSelected || opt.backgroundBrush.style() != Qt::NoBrush ||
        !PlainAscii(opt.text) || opt.text.endsWith(u' '))
        return false;
    if (!m_Raw.isValid() || m_Font != opt.font) {
        m_Font = opt.font;
        m_Raw = QRawFont::fromFont(m_Font);
    }
    if (!m_Raw.isValid()) return false;
    const QList<quint32> glyphs = m_Raw.glyphIndexesForString(opt.text);
    if (glyphs.contains(0)) return false;  // a character the font does not have
    const QList<QPointF> advances = m_Raw.advancesForGlyphIndexes(glyphs);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    qreal width = 0;
    for (const QPointF& a : advances) {
        positions.push_back(QPointF(width, 0));
        width += a.x();
    }

    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Without an icon or a check box the text has the whole cell, less the focus frame's margins
    // (asking the style would lay the text out once more).
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    if (width > textRect.width()) return false;  // the standard delegate elides it
    // As the style lays out one line: as wide as the text rectangle and as high as the font
    // (rounded up), centred in whole pixels, the text aligned within the line.
    const qreal ascent = m_Raw.ascent();
    const QSize line(textRect.width(), qCeil(ascent + m_Raw.descent()));
    const QRect at = QStyle::alignedRect(opt.direction, opt.displayAlignment, line, textRect);
    qreal x = at.left();
    if (opt.displayAlignment & Qt::AlignRight)
        x += textRect.width() - width;
    else if (opt.displayAlignment & Qt::AlignHCenter)
        x += (textRect.width() - width) / 2;

    painter->save();
    painter->setClipRect(opt.rect);
    // The panel (selection, hover) as the style draws it.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    painter->setPen(opt.palette.color(
        group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    QGlyphRun run;
    run.setRawFont(m_Raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter->drawGlyphRun(QPointF(x, at.top() + ascent), run);
    if (opt.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = style->subElementRect(QStyle::SE_ItemViewItemFocusRect, &opt, widget);
        focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
        focus.backgroundColor = opt.palette.color(
            opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled,
            opt.state & QStyle::State_Selected ? QPalette::Highlight : QPalette::Window);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
    ++m_DrawnDirectly;
    return true;
}

}  // namespace jvo::monitor::qt
