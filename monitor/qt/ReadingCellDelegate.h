#pragma once
// Draws the table's reading cells (every column but the name) as one run of glyphs: the texts are
// short runs of digits, signs and units that need no shaping, and they change about once a second
// in every row. The standard delegate lays out and shapes each text anew, which was most of the
// window thread's time while polling. Whatever this cannot draw the same way (a text it would
// have to elide, a right-to-left layout, a character the font lacks, a cell with an icon) goes to
// the standard delegate.
#include <QRawFont>
#include <QStyledItemDelegate>

namespace jvo::monitor::qt {

class ReadingCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // How many cells were drawn here rather than by the standard delegate.
    int CellsDrawnDirectly() const { return m_DrawnDirectly; }

private:
    bool PaintPlain(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;

    mutable QFont m_Font;
    mutable QRawFont m_Raw;
    mutable int m_DrawnDirectly = 0;
};

}  // namespace jvo::monitor::qt
