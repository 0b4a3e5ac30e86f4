#pragma once
// Slot geometry of a panel: two columns of 21 breaker slots (internal numbers 1..21 left,
// 22..42 right), the main feed's three poles and 16 auxiliary positions. Converts internal slot
// numbers to the numbers shown to the user, maps slots onto the panel picture grid and keeps the
// breaker and subfeed tables in slot order.
#include <functional>
#include <string>

#include "config/UnitConfig.h"

namespace jvo {

constexpr int kSlotsPerColumn = 21;
constexpr int kPanelSlots = 42;
constexpr int kAuxPositions = 16;
constexpr int kMainPoles = 3;

// The one rule for a panel's m_Layout: 0 is sequential (1..21 down the left column, 22..42 down
// the right one), every other value is odd/even. Numbering, mirroring, labels, the room below a
// slot and the column checks all read the layout through this.
constexpr bool IsOddEvenLayout(int layout) {
    return layout != 0;
}

// Displayed number of internal slot n: layout 0 is sequential, every other layout value numbers
// odd down the left column and even down the right one.
int SlotToDisplay(const PanelRecord& panel, int slot);
// Internal slot of displayed number d (the inverse of SlotToDisplay for 1..42).
int DisplayToSlot(const PanelRecord& panel, int display);

// Phase (0 = X, 1 = Y, 2 = Z) of a pole at internal slot n; each column starts with X. Slot 0 is
// phase Z, as the modulo is taken non-negative.
int SlotPhase(int slot);

// Owner kinds of slots; the editor's item kinds convert to and from them (tool/ItemKind.h).
enum SlotOwnerKind { OWNER_MAIN_FEED = 1, OWNER_BREAKER = 2, OWNER_SUBFEED = 3 };

// Cell kinds of the panel picture.
enum SlotType { SLOT_MAIN = 0, SLOT_PANEL = 1, SLOT_AUX = 2 };

struct Slot;

// A breaker, subfeed or main feed occupying one or more slots.
struct SlotRef {
    int m_Kind = 0;           // SlotOwnerKind
    int m_Index = 0;          // index in m_Breakers or m_Subfeeds; 0 for the main feed
    int m_Poles = 0;          // pole count
    Slot* m_First = nullptr;  // the slot of the first pole
};

// One cell of the panel picture.
struct Slot {
    int m_Type = SLOT_MAIN;      // SlotType
    int m_Group = 0;             // auxiliary position - 1 (0..15) for SLOT_AUX, else 0
    int m_Index = 0;             // SLOT_MAIN/SLOT_AUX: pole 0..2; SLOT_PANEL: internal slot - 1
    SlotRef* m_Owner = nullptr;  // none when empty
    int m_Pole = 0;              // which pole of the owner sits here (0-based)
};

struct GridCell {
    int m_Column = 0;
    int m_Row = 0;
    bool operator==(const GridCell&) const = default;
};

constexpr int kGridColumns = 19;
constexpr int kGridRows = 27;

// Reports a fault found while mapping (the picture shows it to the user).
using SlotErrorFn = std::function<void(const std::string&)>;

// Grid cell of a slot in the 19 x 27 picture grid. An unknown m_Type yields (0, 0) after
// onError("MapSlot() Error: Slot.m_Type invalid"); an auxiliary group of 16 or more, and any
// index or group that would fall outside the grid, yields (0, 0) silently.
GridCell MapSlot(const Slot& slot, const SlotErrorFn& onError = nullptr);

// Put the used breakers in ascending displayed position, the used subfeeds by placement, then
// by displayed (placement 1) or raw position. With testOnly nothing changes and the result tells
// whether an exchange would be needed. Otherwise whole records are exchanged and `tracked`, when
// given, follows the record it indexes. True when the order was (or would be) changed.
bool SortBreakers(PanelRecord& panel, bool testOnly, int* tracked = nullptr);
bool SortSubfeeds(PanelRecord& panel, bool testOnly, int* tracked = nullptr);

}  // namespace jvo
