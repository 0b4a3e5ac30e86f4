#include "monitor/qt/ReadingCellDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTableView>
#include <QtMath>

namespace jvo::monitor::qt {

ReadingCellDelegate* ReadingCellDelegate::Install(QTableView* view) {
    auto* delegate = new ReadingCellDelegate(view);
    delegate->m_DrawsGrid = view->showGrid() && view->gridStyle() == Qt::SolidLine;
    view->setItemDelegate(delegate);
    if (delegate->m_DrawsGrid) view->setShowGrid(false);
    return delegate;
}

void ReadingCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    if (!m_DrawsGrid) {
        if (!PaintPlain(painter, option, index)) QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // As the table draws its grid: a line of the style's grid colour along the right and the
    // bottom edge of the cell, and the cell itself one pixel smaller.
    const QRect& r = option.rect;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QColor grid = QColor::fromRgba(
        static_cast<QRgb>(style->styleHint(QStyle::SH_Table_GridLineColor, &option, widget)));
    painter->fillRect(QRect(r.left(), r.bottom(), r.width(), 1), grid);
    painter->fillRect(QRect(r.right(), r.top(), 1, r.height() - 1), grid);
    QStyleOptionViewItem inner = option;
    inner.rect = r.adjusted(0, 0, -1, -1);
    if (!PaintPlain(painter, inner, index)) QStyledItemDelegate::paint(painter, inner, index);
}

bool ReadingCellDelegate::PaintPlain(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const auto others =
        QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasCheckIndicator;
    if (opt.direction != Qt::LeftToRight || (opt.features & others) ||
        !opt.showDecorationSelected || opt.backgroundBrush.style() != Qt::NoBrush ||
        !m_Line.Set(opt.font, opt.text))
        return false;
    // Aligned by its advances, as the standard layout aligns a line; elided (by the standard
    // delegate) when the glyphs reach beyond the cell.
    const qreal width = m_Line.Advance();

    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Without an icon or a check box the text has the whole cell, less the focus frame's margins
    // (asking the style would lay the text out once more).
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    if (m_Line.Width() > textRect.width()) return false;  // the standard delegate elides it
    // As the style lays out one line: as wide as the text rectangle and as high as the font
    // (rounded up), centred in whole pixels, the text aligned within the line.
    const qreal ascent = m_Line.Ascent();
    const QSize line(textRect.width(), qCeil(ascent + m_Line.Descent()));
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
    m_Line.Draw(painter, QPointF(x, at.top() + ascent));
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
