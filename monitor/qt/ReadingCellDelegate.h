#pragma once
// Draws the table's reading cells (every column but the name) as one run of glyphs: the texts are
// short runs of digits, signs and units that need no shaping, and they change about once a second
// in every row. The standard delegate lays out and shapes each text anew, which was most of the
// window thread's time while polling. Whatever this cannot draw the same way (a text it would
// have to elide, a right-to-left layout, a character the font lacks, a cell with an icon) goes to
// the standard delegate.
//
// Installed on a table (Install), it also draws the table's grid, one line at the right and one
// at the bottom of each cell, where the table would: the table's own grid is drawn line by line
// through the path stroker and cost as much as the texts.
#include <QStyledItemDelegate>

#include "monitor/qt/GlyphLine.h"

class QTableView;

namespace jvo::monitor::qt {

class ReadingCellDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Makes a new delegate `view`'s item delegate and has it draw the grid the view drew.
    static ReadingCellDelegate* Install(QTableView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // How many cells were drawn here rather than by the standard delegate.
    int CellsDrawnDirectly() const { return m_DrawnDirectly; }

private:
    bool PaintPlain(QPainter* painter, const QStyleOptionViewItem& option,
                    const QModelIndex& index) const;

    bool m_DrawsGrid = false;
    mutable GlyphLine m_Line;
    mutable int m_DrawnDirectly = 0;
};

}  // namespace jvo::monitor::qt
