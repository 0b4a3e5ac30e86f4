// The list model repaints what changed: every changed cell lies in the signalled range, and an
// unchanged row signals nothing.
#include <gtest/gtest.h>

#include <vector>

#include "monitor/qt/RowsModel.h"

namespace jvo::test {
namespace {

using monitor::qt::IconSet;
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

}  // namespace
}  // namespace jvo::test
