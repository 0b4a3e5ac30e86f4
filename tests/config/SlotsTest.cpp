#include "config/Slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace jvo {
namespace {

PanelRecord WithLayout(uint16_t layout) {
    PanelRecord p;
    p.m_Layout = layout;
    return p;
}

TEST(Slots, DisplayNumbers) {
    const PanelRecord seq = WithLayout(0), odd = WithLayout(1), other = WithLayout(7);
    EXPECT_EQ(SlotToDisplay(seq, 21), 21);
    EXPECT_EQ(SlotToDisplay(seq, 22), 22);
    EXPECT_EQ(SlotToDisplay(odd, 1), 1);
    EXPECT_EQ(SlotToDisplay(odd, 21), 41);
    EXPECT_EQ(SlotToDisplay(odd, 22), 2);
    EXPECT_EQ(SlotToDisplay(odd, 42), 42);
    EXPECT_EQ(DisplayToSlot(odd, 41), 21);
    EXPECT_EQ(DisplayToSlot(odd, 2), 22);
    // Every layout value but 0 numbers odd/even.
    EXPECT_EQ(SlotToDisplay(other, 21), 41);
    for (const PanelRecord* p : {&seq, &odd, &other}) {
        std::vector<bool> seen(43, false);
        for (int n = 1; n <= 42; ++n) {
            const int d = SlotToDisplay(*p, n);
            ASSERT_GE(d, 1);
            ASSERT_LE(d, 42);
            EXPECT_FALSE(seen[d]) << "display " << d << " twice";
            seen[d] = true;
            EXPECT_EQ(DisplayToSlot(*p, d), n);
        }
    }
}

TEST(Slots, PhaseUsesNonNegativeModulo) {
    EXPECT_EQ(SlotPhase(1), 0);
    EXPECT_EQ(SlotPhase(3), 2);
    EXPECT_EQ(SlotPhase(22), 0);  // each column starts with X
    EXPECT_EQ(SlotPhase(0), 2);
    EXPECT_EQ(SlotPhase(-1), 1);
}

TEST(Slots, MapSlotGrid) {
    std::vector<std::string> errors;
    const SlotErrorFn onError = [&](const std::string& m) { errors.push_back(m); };
    auto map = [&](int type, int group, int index) {
        Slot s;
        s.m_Type = type;
        s.m_Group = group;
        s.m_Index = index;
        return MapSlot(s, onError);
    };
    EXPECT_EQ(map(SLOT_MAIN, 0, 0), (GridCell{7, 1}));
    EXPECT_EQ(map(SLOT_MAIN, 0, 2), (GridCell{7, 3}));
    EXPECT_EQ(map(SLOT_PANEL, 0, 0), (GridCell{3, 5}));
    EXPECT_EQ(map(SLOT_PANEL, 0, 20), (GridCell{3, 25}));
    EXPECT_EQ(map(SLOT_PANEL, 0, 21), (GridCell{11, 5}));
    EXPECT_EQ(map(SLOT_PANEL, 0, 41), (GridCell{11, 25}));
    EXPECT_EQ(map(SLOT_AUX, 0, 0), (GridCell{1, 2}));
    EXPECT_EQ(map(SLOT_AUX, 5, 2), (GridCell{1, 24}));
    EXPECT_EQ(map(SLOT_AUX, 6, 0), (GridCell{7, 2}));
    EXPECT_EQ(map(SLOT_AUX, 11, 2), (GridCell{7, 24}));
    EXPECT_EQ(map(SLOT_AUX, 12, 0), (GridCell{13, 2}));
    EXPECT_EQ(map(SLOT_AUX, 15, 2), (GridCell{13, 16}));
    EXPECT_TRUE(errors.empty());
    // Out of the grid: (0, 0) without a message.
    EXPECT_EQ(map(SLOT_AUX, 16, 0), (GridCell{0, 0}));
    EXPECT_EQ(map(SLOT_AUX, -1, 0), (GridCell{0, 0}));
    EXPECT_EQ(map(SLOT_PANEL, 0, 42), (GridCell{0, 0}));
    EXPECT_EQ(map(SLOT_PANEL, 0, -1), (GridCell{0, 0}));
    EXPECT_EQ(map(SLOT_MAIN, 0, 3), (GridCell{0, 0}));
    EXPECT_TRUE(errors.empty());
    // An unknown type is reported once, through the caller's callback.
    EXPECT_EQ(map(3, 0, 0), (GridCell{0, 0}));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "MapSlot() Error: Slot.m_Type invalid");
    Slot bad;
    bad.m_Type = -1;
    EXPECT_EQ(MapSlot(bad), (GridCell{0, 0}));  // no callback given: no report, no crash
}

std::vector<int> Positions(const PanelRecord& p) {
    std::vector<int> v;
    for (int i = 0; i < p.UsedBreakers(); ++i)
        v.push_back(p.m_Breakers[i].m_Position);
    return v;
}

TEST(Slots, SortBreakersByDisplayedPosition) {
    PanelRecord p = WithLayout(1);
    p.m_BreakerCnt = 2;
    p.m_Breakers[0].m_Position = 2;
    p.m_Breakers[0].m_Name = "two";
    p.m_Breakers[1].m_Position = 22;
    p.m_Breakers[2].m_Position = 1;  // unused entry: stays where it is
    const PanelRecord before = p;
    EXPECT_TRUE(SortBreakers(p, true));
    EXPECT_EQ(p, before);
    int tracked = 0;
    EXPECT_TRUE(SortBreakers(p, false, &tracked));
    EXPECT_EQ(Positions(p), (std::vector<int>{22, 2}));  // displayed 2, then 3
    EXPECT_EQ(p.m_Breakers[1].m_Name, "two");            // whole records move
    EXPECT_EQ(tracked, 1);
    EXPECT_EQ(p.m_Breakers[2].m_Position, 1);
    EXPECT_FALSE(SortBreakers(p, true));
    EXPECT_FALSE(SortBreakers(p, false));

    // The same breakers in a sequential panel keep internal order.
    p.m_Layout = 0;
    EXPECT_TRUE(SortBreakers(p, false));
    EXPECT_EQ(Positions(p), (std::vector<int>{2, 22}));
}

TEST(Slots, SortTrackedIndexFollowsEveryExchange) {
    PanelRecord p = WithLayout(0);
    p.m_BreakerCnt = 4;
    const uint16_t start[] = {3, 2, 1, 4};
    for (int i = 0; i < 4; ++i)
        p.m_Breakers[i].m_Position = start[i];
    int tracked = 0;  // the breaker at slot 3
    int other = 3;    // the breaker at slot 4 is never exchanged
    PanelRecord copy = p;
    EXPECT_TRUE(SortBreakers(p, false, &tracked));
    EXPECT_TRUE(SortBreakers(copy, false, &other));
    EXPECT_EQ(Positions(p), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(tracked, 2);
    EXPECT_EQ(other, 3);
    int middle = 1;  // the breaker at slot 2 is exchanged three times (index 1, 0, 2, 1)
    PanelRecord again = WithLayout(0);
    again.m_BreakerCnt = 4;
    for (int i = 0; i < 4; ++i)
        again.m_Breakers[i].m_Position = start[i];
    SortBreakers(again, false, &middle);
    EXPECT_EQ(again.m_Breakers[middle].m_Position, 2);
}

TEST(Slots, SortSubfeedsByPlacementThenPosition) {
    PanelRecord p = WithLayout(1);
    p.m_SubfeedCnt = 5;
    const uint16_t placement[] = {2, 1, 2, 1, 0};
    const uint16_t position[] = {9, 2, 3, 22, 1};
    for (int i = 0; i < 5; ++i) {
        p.m_Subfeeds[i].m_Placement = placement[i];
        p.m_Subfeeds[i].m_Position = position[i];
    }
    int tracked = 0;  // aux 9
    EXPECT_TRUE(SortSubfeeds(p, false, &tracked));
    std::vector<std::pair<int, int>> got;
    for (int i = 0; i < 5; ++i)
        got.emplace_back(p.m_Subfeeds[i].m_Placement, p.m_Subfeeds[i].m_Position);
    // Panel subfeeds in displayed order (22 shows as 2, slot 2 as 3); aux ones by raw position.
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{0, 1}, {1, 22}, {1, 2}, {2, 3}, {2, 9}}));
    EXPECT_EQ(tracked, 4);
    EXPECT_FALSE(SortSubfeeds(p, true));
}

}  // namespace
}  // namespace jvo
