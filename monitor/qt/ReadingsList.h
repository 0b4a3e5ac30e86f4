#pragma once
// One of the two lists of the "Breaker/Subfeed Status" group: a table with grid lines and
// right-aligned columns of fixed widths, or an icon view (a multi-column list of the names with
// their status icons). Both show one RowsModel. A double-click or Enter on a row reports it.
#include <QStackedWidget>
#include <vector>

#include "monitor/qt/RowsModel.h"

class QListView;
class QTableView;

namespace jvo::monitor::qt {

class ReadingsList final : public QStackedWidget {
    Q_OBJECT
public:
    ReadingsList(const QStringList& heads, const std::vector<int>& widths, IconSet icons,
                 QWidget* parent);

    RowsModel& Model() { return *m_Model; }
    QTableView* Table() const { return m_Table; }
    QListView* Icons() const { return m_IconView; }
    bool IconView() const { return currentIndex() == 1; }
    // Shows the table or the icon view and fits the name column to the names.
    void SetIconView(bool icons);
    // The name column: the widest of its head and the names, plus 48 (icon view) or 32 (table).
    void FitNameColumn();
    int NameColumnWidth() const;

signals:
    void RowActivated(int row);
    // The context menu was asked for on a row, at `global` on the screen.
    void RowMenu(int row, const QPoint& global);

private:
    void Activate(const QModelIndex& index);

    RowsModel* m_Model;
    QTableView* m_Table;
    QListView* m_IconView;
};

}  // namespace jvo::monitor::qt
