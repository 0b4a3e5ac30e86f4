// The list repaints what changed, and cheaply: every changed cell lies in the signalled range, an
// unchanged row signals nothing, and the reading cells' own drawing looks exactly like the
// standard delegate's, grid lines included.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>
#include <QStyledItemDelegate>
#include <QTableView>
#include <vector>

#include "monitor/qt/ReadingCellDelegate.h"
#include "monitor/qt/RowsModel.h"

namespace jvo::test {
namespace {

using monitor::qt::IconSet;
using monitor::qt::ReadingCellDelegate;
using monitor::qt::RowsModel;

TEST(RowsModel, SignalsExactlyTheChangedCells) {
    RowsModel model({"Name", "Rating", "I1", "I2", "kWh"}, IconSet::Breaker, nullptr);
    model.Reset({{"A1", "20", "1.0", "2.0", "3.000"}, {"A2", "20", "1.0", "2.0", "3.000"}}, {0, 0});
    std::vector<std::vector<int>> signalled;  // row, column of the first and the last cell
    QObject::connect(&model, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         signalled.push_back({from.row(), from.column(), to.row(), to.column()});
                     });
    auto range = [&] {
        const std::vector<int> r = signalled.front();
        signalled.erase(signalled.begin());
        return r;
    };

    EXPECT_FALSE(model.SetRow(1, {"A2", "20", "1.0", "2.0", "3.000"}, 0));
    EXPECT_TRUE(signalled.empty());

    EXPECT_TRUE(model.SetRow(1, {"A2", "20", "1.5", "2.0", "3.001"}, 0));
    ASSERT_EQ(signalled.size(), 1u);
    EXPECT_EQ(range(), (std::vector<int>{1, 2, 1, 4}));
    EXPECT_EQ(model.Text(1, 4), "3.001");

    // A new icon is drawn in the first column.
    EXPECT_TRUE(model.SetRow(0, {"A1", "20", "1.0", "2.5", "3.000"}, 2));
    ASSERT_EQ(signalled.size(), 1u);
    EXPECT_EQ(range(), (std::vector<int>{0, 0, 0, 3}));
    EXPECT_EQ(model.Icon(0), 2);
}

TEST(RowsModel, ReadingCellsLookAsTheStandardDelegateDrawsThem) {
    RowsModel model({"Name", "Rating", "I1", "kWh", "Note"}, IconSet::Breaker, nullptr);
    // Digits and signs, a text too wide for its cell (elided), one the fast path leaves to the
    // standard delegate (not ASCII), an empty cell; one selected row and the current cell.
    model.Reset({{"A1", "20", "12.5", "123456.789", "OK"},
                 {"A2 main", "-", "-0.1", "0.000", "\u00b5A"},
                 {"A3", "100", "1234567890123", "", "x"},
                 {"A4", "12 VA", "7", "AVAW", "To"}},  // pairs a font may kern
                {0, 1, 2, 0});
    // The fast delegate also draws the grid, in place of the table's own.
    int direct = 0;
    auto render = [&](bool fast) {
        QTableView view;
        view.setModel(&model);
        QStyledItemDelegate standard;
        ReadingCellDelegate* d = nullptr;
        if (fast) {
            d = ReadingCellDelegate::Install(&view);
            EXPECT_FALSE(view.showGrid());
        } else {
            view.setItemDelegate(&standard);
        }
        view.verticalHeader()->hide();
        view.setColumnWidth(2, 40);
        view.resize(420, 170);
        view.selectRow(1);
        view.setCurrentIndex(model.index(1, 3));
        const QImage image = view.grab().toImage();
        if (d) direct = d->CellsDrawnDirectly();
        return image;
    };
    const QImage expected = render(false);
    const QImage drawn = render(true);
    ASSERT_EQ(drawn.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixel(x, y) != expected.pixel(x, y)) ++differing;
    EXPECT_EQ(differing, 0);
    EXPECT_GE(direct, 8);  // the digits, signs and the empty cells
    if (differing) {
        expected.save(QStringLiteral("cells-standard.png"));
        drawn.save(QStringLiteral("cells-fast.png"));
    }
}

}  // namespace
}  // namespace jvo::test
