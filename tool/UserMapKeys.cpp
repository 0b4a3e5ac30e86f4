// UserMap: the keyboard, the tooltips and the auxiliary position numbers.
#include "base/FormatStr.h"
#include "tool/Menus.h"
#include "tool/UserMap.h"

namespace jvo::tool {

namespace {

template <size_t N>
std::string Channels(const UnitConfig& config, const std::array<CtRef, N>& refs, int count) {
    std::string text;
    for (int i = 0; i < count && i < static_cast<int>(N); ++i) {
        if (!IsChannel(refs[i])) continue;
        if (!text.empty()) text += ", ";
        text += CtDisplayName(config, refs[i]);
    }
    return text.empty() ? "none" : text;
}

std::string SubfeedTip(const UnitConfig& config, const SubfeedRecord& s, const char* what) {
    return FormatStr("%s \"%s\"\n%u poles, %u A\nChannels: %s", what, s.m_Name, s.m_Poles,
                     s.m_Rating, Channels(config, s.m_Ct, static_cast<int>(s.m_Ct.size())));
}

}  // namespace

void UserMap::DrawAuxLabels() {
    if (!m_Canvas) return;
    for (int g = 0; g < kAuxPositions; ++g) {
        Slot probe;
        probe.m_Type = SLOT_AUX;
        probe.m_Group = g;
        const GridCell cell = MapSlot(probe);
        m_Canvas->Text(GridRect(cell.m_Column - 1, cell.m_Row, cell.m_Column, cell.m_Row + 1),
                       FormatStr("%d", g + 1));
    }
}

std::string UserMap::TipAt(int x, int y) {
    const Slot* slot = HitTest(x, y);
    if (!slot || !m_Config) return {};
    const PanelRecord& panel = m_Config->m_Panels[m_Panel];
    if (const SlotRef* owner = slot->m_Owner) {
        if (owner->m_Kind == OWNER_MAIN_FEED)
            return SubfeedTip(*m_Config, panel.m_MainFeed, "Main feed");
        if (owner->m_Kind == OWNER_SUBFEED && owner->m_Index < panel.UsedSubfeeds())
            return SubfeedTip(*m_Config, panel.m_Subfeeds[owner->m_Index], "Subfeed");
        if (owner->m_Kind == OWNER_BREAKER && owner->m_Index < panel.UsedBreakers()) {
            const BreakerRecord& b = panel.m_Breakers[owner->m_Index];
            return FormatStr("Breaker \"%s\"\n%u poles, %u A\nChannels: %s", b.m_Name, b.m_Poles,
                             b.m_Rating, Channels(*m_Config, b.m_Ct, BreakerRefCount(b)));
        }
        return {};
    }
    if (slot->m_Type == SLOT_PANEL)
        return FormatStr("Position %d: empty", SlotToDisplay(panel, slot->m_Index + 1));
    if (slot->m_Type == SLOT_AUX)
        return FormatStr("Auxiliary position %d: empty", slot->m_Group + 1);
    return {};
}

Slot* UserMap::Neighbour(Slot* from, MapKey key) {
    PanelSlots& ps = m_Panels[m_Panel];
    const bool up = key == MapKey::UP, down = key == MapKey::DOWN;
    const bool left = key == MapKey::LEFT, right = key == MapKey::RIGHT;
    if (m_View == 0) {
        if (from->m_Type == SLOT_MAIN) {
            const int pole = from->m_Index;
            if (up) return pole > 0 ? &ps.m_Main[pole - 1] : nullptr;
            if (down) return pole + 1 < kMainPoles ? &ps.m_Main[pole + 1] : &ps.m_Slots[0];
            return nullptr;
        }
        const int s = from->m_Index;
        const int row = s % kSlotsPerColumn;
        const int column = s / kSlotsPerColumn;
        if (up) return row > 0 ? &ps.m_Slots[s - 1] : &ps.m_Main[kMainPoles - 1];
        if (down) return row + 1 < kSlotsPerColumn ? &ps.m_Slots[s + 1] : nullptr;
        if (left) return column == 1 ? &ps.m_Slots[row] : nullptr;
        if (right) return column == 0 ? &ps.m_Slots[row + kSlotsPerColumn] : nullptr;
        return nullptr;
    }
    // Auxiliary groups: 1..6, 7..12 and 13..16 down three columns, three poles each.
    const int g = from->m_Group, pole = from->m_Index;
    const int column = g / 6, inColumn = g % 6;
    const int count = column == 2 ? kAuxPositions - 12 : 6;
    if (up) {
        if (pole > 0) return &ps.m_Aux[g][pole - 1];
        return inColumn > 0 ? &ps.m_Aux[g - 1][kMainPoles - 1] : nullptr;
    }
    if (down) {
        if (pole + 1 < kMainPoles) return &ps.m_Aux[g][pole + 1];
        return inColumn + 1 < count ? &ps.m_Aux[g + 1][0] : nullptr;
    }
    if (left) return column > 0 ? &ps.m_Aux[g - 6][pole] : nullptr;
    if (right) {
        const int to = g + 6;
        return column < 2 && to < kAuxPositions ? &ps.m_Aux[to][pole] : nullptr;
    }
    return nullptr;
}

bool UserMap::OnKey(MapKey key, int screenX, int screenY) {
    if (m_Owner.InputRefused() || !m_Config) return false;
    PanelSlots& ps = m_Panels[m_Panel];
    Slot* selected = ps.m_Selected[m_View];
    if (key == MapKey::ENTER) {
        if (m_Owner.IsEditOpen()) return m_Owner.EndEdit(1);
        if (!selected || !selected->m_Owner) return false;
        return m_Owner.BeginEdit(3);
    }
    if (key == MapKey::MENU) {
        if (!selected) return false;
        const int menu = ContextMenuFor(selected);
        if (menu == MENU_NONE) return false;
        const int command = m_Owner.TrackContextMenu(menu, screenX, screenY);
        if (command != 0) OnMenuCommand(command);
        return true;
    }
    if (!selected) {
        SelectSlot(m_View == 0 ? &ps.m_Main[0] : &ps.m_Aux[0][0]);
        return ps.m_Selected[m_View] != nullptr;
    }
    // Past the other poles of the selected item to the next slot that is not part of it.
    Slot* next = selected;
    do {
        next = Neighbour(next, key);
    } while (next && selected->m_Owner && next->m_Owner == selected->m_Owner);
    if (!next) return false;
    SelectSlot(next);
    return ps.m_Selected[m_View] != selected;
}

}  // namespace jvo::tool
