// The list rows.
#include "monitor/qt/RowsModel.h"

#include <QApplication>
#include <QBrush>

#include "monitor/qt/FieldColours.h"

namespace jvo::monitor::qt {

RowsModel::RowsModel(QStringList heads, IconSet icons, QObject* parent)
    : QAbstractTableModel(parent), m_Heads(std::move(heads)), m_Icons(icons) {}

void RowsModel::Reset(std::vector<QStringList> rows, std::vector<int> icons) {
    beginResetModel();
    m_Rows = std::move(rows);
    m_Icon = std::move(icons);
    m_Icon.resize(m_Rows.size(), 3);
    endResetModel();
}

bool RowsModel::SetRow(int row, const QStringList& texts, int icon) {
    if (row < 0 || row >= rowCount()) return false;
    const size_t r = static_cast<size_t>(row);
    // Only the cells from the first to the last changed one are repainted: a name and a rating
    // stay as they are while the readings change.
    const QStringList& old = m_Rows[r];
    int first = m_Icon[r] != icon ? 0 : -1;
    int last = first;
    for (int c = 0; c < columnCount(); ++c) {
        if (old.value(c) == texts.value(c)) continue;
        if (first < 0) first = c;
        last = c;
    }
    if (first < 0) return false;
    m_Rows[r] = texts;
    m_Icon[r] = icon;
    emit dataChanged(index(row, first), index(row, last));
    return true;
}

bool RowsModel::SetIcon(int row, int icon) {
    if (row < 0 || row >= rowCount() || m_Icon[static_cast<size_t>(row)] == icon) return false;
    m_Icon[static_cast<size_t>(row)] = icon;
    emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole});
    return true;
}

void RowsModel::SetStale(bool stale) {
    if (stale == m_Stale) return;
    m_Stale = stale;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ForegroundRole, Qt::DecorationRole});
}

int RowsModel::Icon(int row) const {
    return row >= 0 && row < rowCount() ? m_Icon[static_cast<size_t>(row)] : -1;
}

QString RowsModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount()) return {};
    return m_Rows[static_cast<size_t>(row)].value(column);
}

int RowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
}

int RowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_Heads.size());
}

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    switch (role) {
        case Qt::DisplayRole:
            return Text(index.row(), index.column());
        case Qt::DecorationRole:
            return index.column() == 0 ? StatusIcon(m_Icons, Icon(index.row()), m_Stale)
                                       : QVariant();
        case Qt::ForegroundRole:
            return m_Stale ? QVariant(QBrush(StaleText(QApplication::palette()))) : QVariant();
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant RowsModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return m_Heads.value(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

}  // namespace jvo::monitor::qt
