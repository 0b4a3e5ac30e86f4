#pragma once
// The rows of the breaker or subfeed list: the texts of each column and a status icon. The table
// and the icon view show the same model. Setting a row that did not change signals nothing, so
// only rows whose texts or icon changed are repainted.
#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "monitor/qt/StatusIcons.h"

namespace jvo::monitor::qt {

class RowsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    RowsModel(QStringList heads, IconSet icons, QObject* parent);

    // Replaces every row (the panel switch).
    void Reset(std::vector<QStringList> rows, std::vector<int> icons);
    // True when the row changed (and was signalled).
    bool SetRow(int row, const QStringList& texts, int icon);
    bool SetIcon(int row, int icon);
    // Stale readings: every text and icon greyed with the palette's disabled colours.
    void SetStale(bool stale);
    bool Stale() const { return m_Stale; }

    int Icon(int row) const;
    QString Text(int row, int column) const;
    const QStringList& Heads() const { return m_Heads; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    QStringList m_Heads;
    IconSet m_Icons;
    std::vector<QStringList> m_Rows;
    std::vector<int> m_Icon;
    bool m_Stale = false;
};

}  // namespace jvo::monitor::qt
