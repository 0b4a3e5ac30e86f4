#include "config/Slots.h"

#include <utility>

namespace jvo {

namespace {

bool Sequential(const PanelRecord& panel) {
    return !IsOddEvenLayout(panel.m_Layout);
}

// Shared exchange sort: every pair (i, j), i < j, exchanged when j must come first.
template <class Table, class Before>
bool ExchangeSort(Table& table, int used, bool testOnly, int* tracked, Before before) {
    bool changed = false;
    for (int i = 0; i < used; ++i) {
        for (int j = i + 1; j < used; ++j) {
            if (!before(table[j], table[i])) continue;
            if (testOnly) return true;
            std::swap(table[i], table[j]);
            changed = true;
            if (tracked) {
                if (*tracked == i)
                    *tracked = j;
                else if (*tracked == j)
                    *tracked = i;
            }
        }
    }
    return changed;
}

}  // namespace

int SlotToDisplay(const PanelRecord& panel, int slot) {
    if (Sequential(panel)) return slot;
    return slot <= kSlotsPerColumn ? 2 * slot - 1 : 2 * slot - kPanelSlots;
}

int DisplayToSlot(const PanelRecord& panel, int display) {
    if (Sequential(panel)) return display;
    return display % 2 != 0 ? (display + 1) / 2 : (display + kPanelSlots) / 2;
}

int SlotPhase(int slot) {
    const int m = (slot - 1) % 3;
    return m < 0 ? m + 3 : m;
}

GridCell MapSlot(const Slot& slot, const SlotErrorFn& onError) {
    const int k = slot.m_Index;
    switch (slot.m_Type) {
        case SLOT_MAIN:
            if (k < 0 || k >= kMainPoles) return {};
            return {7, k + 1};
        case SLOT_PANEL:
            if (k < 0 || k >= kPanelSlots) return {};
            if (k < kSlotsPerColumn) return {3, k + 5};
            return {11, k - 16};
        case SLOT_AUX: {
            const int g = slot.m_Group;
            if (k < 0 || k >= kMainPoles || g < 0 || g >= kAuxPositions) return {};
            if (g <= 5) return {1, 4 * g + k + 2};
            if (g <= 11) return {7, 4 * g + k - 22};
            return {13, 4 * g + k - 46};
        }
        default:
            if (onError) onError("MapSlot() Error: Slot.m_Type invalid");
            return {};
    }
}

bool SortBreakers(PanelRecord& panel, bool testOnly, int* tracked) {
    return ExchangeSort(panel.m_Breakers, panel.UsedBreakers(), testOnly, tracked,
                        [&](const BreakerRecord& a, const BreakerRecord& b) {
                            return SlotToDisplay(panel, a.m_Position) <
                                   SlotToDisplay(panel, b.m_Position);
                        });
}

bool SortSubfeeds(PanelRecord& panel, bool testOnly, int* tracked) {
    return ExchangeSort(panel.m_Subfeeds, panel.UsedSubfeeds(), testOnly, tracked,
                        [&](const SubfeedRecord& a, const SubfeedRecord& b) {
                            if (a.m_Placement != b.m_Placement)
                                return a.m_Placement < b.m_Placement;
                            if (a.m_Placement == PLACEMENT_PANEL)
                                return SlotToDisplay(panel, a.m_Position) <
                                       SlotToDisplay(panel, b.m_Position);
                            return a.m_Position < b.m_Position;
                        });
}

}  // namespace jvo
