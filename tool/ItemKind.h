#pragma once
// The kinds of item the editor selects, and their typed conversion to and from the owner kinds of
// the panel picture's slots (config/Slots.h): the two are numbered alike today, but a selection
// made from a slot goes through these switches, so renumbering either cannot pick another kind.
#include "config/Slots.h"

namespace jvo::tool {

// Item kinds of the breaker group.
enum ItemKind : int { ITEM_NONE = 0, ITEM_MAIN = 1, ITEM_BREAKER = 2, ITEM_SUBFEED = 3 };

// The item kind of a slot's owner kind (SlotRef::m_Kind); ITEM_NONE for anything else.
constexpr ItemKind ItemKindOf(int ownerKind) {
    switch (ownerKind) {
        case OWNER_MAIN_FEED:
            return ITEM_MAIN;
        case OWNER_BREAKER:
            return ITEM_BREAKER;
        case OWNER_SUBFEED:
            return ITEM_SUBFEED;
        default:
            return ITEM_NONE;
    }
}

// The owner kind of an item kind; 0 (no owner) for ITEM_NONE.
constexpr int OwnerKindOf(ItemKind kind) {
    switch (kind) {
        case ITEM_MAIN:
            return OWNER_MAIN_FEED;
        case ITEM_BREAKER:
            return OWNER_BREAKER;
        case ITEM_SUBFEED:
            return OWNER_SUBFEED;
        case ITEM_NONE:
            break;
    }
    return 0;
}

}  // namespace jvo::tool
