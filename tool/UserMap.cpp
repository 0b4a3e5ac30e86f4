#include "tool/UserMap.h"

#include <algorithm>
#include <cstddef>

#include "base/FormatStr.h"

namespace jvo::tool {

namespace {

// Normal and under-the-mouse resource identifiers, large / compact, by pole count 0..3 and
// mirroring.
struct ImageIds {
    int m_Normal[2];
    int m_Hover[2];
};
constexpr ImageIds kPlainImages[4] = {
    {{131, 154}, {140, 158}},
    {{136, 155}, {141, 159}},
    {{137, 156}, {142, 160}},
    {{138, 157}, {143, 161}},
};
constexpr ImageIds kMirroredImages[4] = {
    {{131, 154}, {140, 158}},  // an empty slot looks the same either way
    {{144, 162}, {147, 165}},
    {{145, 163}, {148, 166}},
    {{146, 164}, {149, 167}},
};

// Size of one pole of a slot image.
constexpr int kPoleWidth[2] = {125, 88};
constexpr int kPoleHeight[2] = {32, 24};

// Column of the right-hand number labels.
constexpr int kRightLabelColumn[2] = {9, 16};  // layout 0, layout 1

int ImagePoles(int poles) {
    return poles < 1 ? 0 : poles > 3 ? 3 : poles;
}

}  // namespace

int SlotImageResource(const SlotImage& image, bool compact) {
    const int poles = ImagePoles(image.m_Poles);
    const ImageIds& ids = image.m_Mirrored ? kMirroredImages[poles] : kPlainImages[poles];
    const int variant = compact ? 1 : 0;
    return image.m_Hover ? ids.m_Hover[variant] : ids.m_Normal[variant];
}

UserMap::UserMap(MapOwner& owner, bool compact, MapCanvas* canvas)
    : m_Owner(owner), m_Compact(compact), m_Canvas(canvas) {
    InitSlots();
}

void UserMap::InitSlots() {
    for (PanelSlots& p : m_Panels) {
        for (int k = 0; k < kMainPoles; ++k)
            p.m_Main[k] = Slot{SLOT_MAIN, 0, k, nullptr, 0};
        for (int s = 0; s < kPanelSlots; ++s)
            p.m_Slots[s] = Slot{SLOT_PANEL, 0, s, nullptr, 0};
        for (int g = 0; g < kAuxPositions; ++g)
            for (int k = 0; k < kMainPoles; ++k)
                p.m_Aux[g][k] = Slot{SLOT_AUX, g, k, nullptr, 0};
        p.m_MainRef = SlotRef{OWNER_MAIN_FEED, 0, 0, nullptr};
        for (int i = 0; i < kMaxBreakers; ++i)
            p.m_BreakerRefs[i] = SlotRef{OWNER_BREAKER, i, 0, nullptr};
        for (int i = 0; i < kMaxSubfeeds; ++i)
            p.m_SubfeedRefs[i] = SlotRef{OWNER_SUBFEED, i, 0, nullptr};
        p.m_Selected = {};
        p.m_Hovered = {};
    }
}

void UserMap::SetPanel(int panel) {
    if (panel == 0 || panel == 1) m_Panel = panel;
}

void UserMap::SetView(int view) {
    if (view == 0 || view == 1) m_View = view;
}

void UserMap::ClearSelections() {
    for (PanelSlots& p : m_Panels) {
        p.m_Selected = {};
        p.m_Hovered = {};
    }
}

void UserMap::Assign(Slot& slot, SlotRef& owner, int pole) {
    slot.m_Owner = &owner;
    slot.m_Pole = pole;
    if (!owner.m_First) owner.m_First = &slot;
}

void UserMap::ReloadSlots() {
    for (int p = 0; p < kPanelCount; ++p)
        ReloadPanel(p);
}

void UserMap::ReloadPanel(int panel) {
    PanelSlots& ps = m_Panels[panel];
    for (Slot& s : ps.m_Main)
        s.m_Owner = nullptr, s.m_Pole = 0;
    for (Slot& s : ps.m_Slots)
        s.m_Owner = nullptr, s.m_Pole = 0;
    for (auto& group : ps.m_Aux)
        for (Slot& s : group)
            s.m_Owner = nullptr, s.m_Pole = 0;
    ps.m_MainRef = SlotRef{OWNER_MAIN_FEED, 0, 0, nullptr};
    for (int i = 0; i < kMaxBreakers; ++i)
        ps.m_BreakerRefs[i] = SlotRef{OWNER_BREAKER, i, 0, nullptr};
    for (int i = 0; i < kMaxSubfeeds; ++i)
        ps.m_SubfeedRefs[i] = SlotRef{OWNER_SUBFEED, i, 0, nullptr};
    if (!m_Config) return;
    PanelRecord& rec = m_Config->m_Panels[panel];

    ps.m_MainRef.m_Poles = kMainPoles;
    for (int k = 0; k < kMainPoles; ++k)
        Assign(ps.m_Main[k], ps.m_MainRef, k);

    // Slots outside the panel are skipped; the first slot is the first pole's when it lies in
    // the panel, else the first one that does.
    for (int i = 0; i < rec.UsedBreakers(); ++i) {
        const BreakerRecord& b = rec.m_Breakers[i];
        SlotRef& ref = ps.m_BreakerRefs[i];
        ref.m_Poles = b.m_Poles;
        for (int k = 0; k < b.m_Poles; ++k) {
            const int index = b.m_Position - 1 + k;
            if (index >= kPanelSlots) break;
            if (index >= 0) Assign(ps.m_Slots[index], ref, k);
        }
    }
    for (int i = 0; i < rec.UsedSubfeeds(); ++i) {
        SubfeedRecord& s = rec.m_Subfeeds[i];
        SlotRef& ref = ps.m_SubfeedRefs[i];
        if (s.m_Poles == 0) s.m_Poles = 3;
        if (s.m_Placement == PLACEMENT_PANEL) {
            ref.m_Poles = kMainPoles;
            for (int k = 0; k < kMainPoles; ++k) {
                const int index = s.m_Position - 1 + k;
                if (index >= 0 && index < kPanelSlots) Assign(ps.m_Slots[index], ref, k);
            }
        } else {
            ref.m_Poles = s.m_Poles;
            const int group = s.m_Position - 1;
            if (group < 0 || group >= kAuxPositions) continue;
            const int poles = std::min<int>(s.m_Poles, kMainPoles);
            for (int k = 0; k < poles; ++k)
                Assign(ps.m_Aux[group][k], ref, k);
        }
    }
    if (panel == m_Panel) RedrawMap();
}

MapRect UserMap::GridRect(int c1, int r1, int c2, int r2) const {
    const int w = Width();
    const int h = Height();
    return MapRect{w * c1 / kGridColumns, h * r1 / kGridRows, w * c2 / kGridColumns,
                   h * r2 / kGridRows};
}

void UserMap::RedrawMap() {
    if (!m_Canvas) return;
    m_Canvas->Clear(kMapBackground);
    m_Canvas->Frame(MapRect{0, 0, Width() - 1, Height() - 1}, kMapBorder, 1, false);
    PanelSlots& ps = m_Panels[m_Panel];
    if (m_View == 0) {
        for (const Slot& s : ps.m_Main)
            DrawSlot(s);
        for (int i = 0; i < kPanelSlots; ++i) {
            DrawSlot(ps.m_Slots[i]);
            DrawLabel(i);
        }
    } else {
        for (const auto& group : ps.m_Aux)
            for (const Slot& s : group)
                DrawSlot(s);
        DrawAuxLabels();
    }
    Repaint();
}

void UserMap::Repaint() {
    if (m_Canvas) m_Canvas->Repaint();
}

std::span<const Slot> UserMap::RunArea(const Slot& slot) const {
    const PanelSlots& ps = m_Panels[m_Panel];
    switch (slot.m_Type) {
        case SLOT_PANEL: {
            const int first = slot.m_Index < kSlotsPerColumn ? 0 : kSlotsPerColumn;
            return {ps.m_Slots.data() + first, static_cast<size_t>(kSlotsPerColumn)};
        }
        case SLOT_AUX:
            return ps.m_Aux[slot.m_Group >= 0 && slot.m_Group < kAuxPositions ? slot.m_Group : 0];
        default:
            return ps.m_Main;
    }
}

void UserMap::DrawSlot(const Slot& slot) {
    if (!m_Canvas) return;
    // An owner is drawn as one image per run of its poles in consecutive slots of one column (of
    // the main feed's poles, of an auxiliary group): a run starts where the slot above does not
    // hold the owner's previous pole, and its image covers the run's other slots.
    const SlotRef* owner = slot.m_Owner;
    int run = 1;
    if (owner) {
        const std::span<const Slot> area = RunArea(slot);
        const std::ptrdiff_t at = &slot - area.data();
        const std::ptrdiff_t size = static_cast<std::ptrdiff_t>(area.size());
        if (at >= 0 && at < size) {
            auto continues = [&](std::ptrdiff_t i, int pole) {
                return area[i].m_Owner == owner && area[i].m_Pole == pole;
            };
            if (at > 0 && continues(at - 1, slot.m_Pole - 1)) return;
            while (at + run < size && continues(at + run, slot.m_Pole + run))
                ++run;
        }
    }
    const GridCell cell =
        MapSlot(slot, [&](const std::string& text) { m_Owner.ShowMessage(text, MsgIcon::None); });
    const MapRect cellRect = GridRect(cell.m_Column, cell.m_Row, cell.m_Column + 5, cell.m_Row + 1);
    if (cellRect.m_Left == 0 || cellRect.m_Top == 0) m_Owner.ShowMessage("Error", MsgIcon::None);

    SlotImage image;
    int rows = 1;
    if (owner) {
        image.m_Poles = std::max(ImagePoles(owner->m_Poles), 1);
        // The images show three poles at most; poles beyond them are not drawn.
        if (slot.m_Pole < 0 || slot.m_Pole >= image.m_Poles) return;
        rows = std::min(run, image.m_Poles - slot.m_Pole);
        if (slot.m_Pole != 0 || rows != image.m_Poles) {
            image.m_FromPole = slot.m_Pole;
            image.m_ShownPoles = rows;
        }
        const bool oddEven = m_Config && IsOddEvenLayout(m_Config->m_Panels[m_Panel].m_Layout);
        image.m_Mirrored = oddEven && slot.m_Type == SLOT_PANEL && slot.m_Index >= kSlotsPerColumn;
    }
    // The hovered and the selected slot of an owner are its first slot; every part shows them.
    const Slot* anchor = owner && owner->m_First ? owner->m_First : &slot;
    const PanelSlots& ps = m_Panels[m_Panel];
    image.m_Hover = ps.m_Hovered[m_View] == anchor;

    const int variant = m_Compact ? 1 : 0;
    const MapRect rect{cellRect.m_Left, cellRect.m_Top, cellRect.m_Left + kPoleWidth[variant],
                       cellRect.m_Top + kPoleHeight[variant] * rows};
    m_Canvas->Image(image, rect);
    if (ps.m_Selected[m_View] == anchor) m_Canvas->Frame(rect, kMapSelection, 3, true);
}

void UserMap::DrawItem(const Slot* slot) {
    if (!slot) return;
    if (!slot->m_Owner) {
        DrawSlot(*slot);
        return;
    }
    const PanelSlots& ps = m_Panels[m_Panel];
    auto drawOwned = [&](const Slot& s) {
        if (s.m_Owner == slot->m_Owner) DrawSlot(s);
    };
    if (m_View == 0) {
        for (const Slot& s : ps.m_Main)
            drawOwned(s);
        for (const Slot& s : ps.m_Slots)
            drawOwned(s);
    } else {
        for (const auto& group : ps.m_Aux)
            for (const Slot& s : group)
                drawOwned(s);
    }
}

void UserMap::DrawLabel(int s) {
    if (!m_Canvas || !m_Config) return;
    const PanelRecord& rec = m_Config->m_Panels[m_Panel];
    MapRect rect;
    if (s < kSlotsPerColumn) {
        rect = GridRect(1, s + 5, 3, s + 6);
    } else {
        const int column = kRightLabelColumn[IsOddEvenLayout(rec.m_Layout) ? 1 : 0];
        rect = GridRect(column, s - 16, column + 2, s - 15);
    }
    m_Canvas->Text(rect, FormatStr("%d", SlotToDisplay(rec, s + 1)));
}

Slot* UserMap::HitTest(int x, int y) {
    if (x < 0 || y < 0 || x >= Width() || y >= Height()) return nullptr;
    const int column = x * kGridColumns / Width();
    const int row = y * kGridRows / Height();
    PanelSlots& ps = m_Panels[m_Panel];
    if (m_View == 0) {
        if (row >= 1 && row <= 3 && column >= 7 && column <= 11) return &ps.m_Main[row - 1];
        if (row >= 5 && row <= 25) {
            if (column >= 3 && column <= 7) return &ps.m_Slots[row - 5];
            if (column >= 11 && column <= 15) return &ps.m_Slots[row + 16];
        }
        return nullptr;
    }
    if (row < 2 || row > 24 || (row - 2) % 4 == 3) return nullptr;
    const int g = (row - 2) / 4;
    const int pole = (row - 2) % 4;
    if (column >= 1 && column <= 5) return &ps.m_Aux[g][pole];
    if (column >= 7 && column <= 11) return &ps.m_Aux[g + 6][pole];
    if (column >= 13 && column <= 17 && g < 4) return &ps.m_Aux[g + 12][pole];
    return nullptr;
}

Slot* UserMap::Normalise(Slot* slot) {
    if (slot && slot->m_Owner && slot->m_Owner->m_First) return slot->m_Owner->m_First;
    return slot;
}

int UserMap::ContextMenuFor(const Slot* slot) const {
    if (!slot || !m_Config) return MENU_NONE;
    if (slot->m_Owner) {
        const int kind = slot->m_Owner->m_Kind;
        return kind == OWNER_BREAKER || kind == OWNER_SUBFEED ? MENU_DELETE : MENU_NONE;
    }
    switch (slot->m_Type) {
        case SLOT_AUX:
            return slot->m_Index == 0 && m_Owner.CanAddSubfeed(m_Panel) ? MENU_ADD_SUBFEED
                                                                        : MENU_NONE;
        case SLOT_PANEL:
            break;
        default:
            return MENU_NONE;
    }
    const int s = slot->m_Index;
    if (s < 0 || s >= kPanelSlots) return MENU_NONE;
    const PanelRecord& rec = m_Config->m_Panels[m_Panel];
    // Room below the slot: a sequential panel continues into the right column.
    int room =
        IsOddEvenLayout(rec.m_Layout) ? kSlotsPerColumn - s % kSlotsPerColumn : kPanelSlots - s;
    room = std::min(room, 3);
    const PanelSlots& ps = m_Panels[m_Panel];
    if (room < 2 || ps.m_Slots[s + 1].m_Owner) return MENU_ADD_SINGLE;
    if (room < 3 || ps.m_Slots[s + 2].m_Owner) return MENU_ADD_DOUBLE;
    if (s % 3 == 0 && m_Owner.CanAddSubfeed(m_Panel)) return MENU_ADD_TRIPLE_SUBFEED;
    return MENU_ADD_TRIPLE;
}

void UserMap::SelectSlot(Slot* slot) {
    PanelSlots& ps = m_Panels[m_Panel];
    slot = Normalise(slot);
    Slot* old = ps.m_Selected[m_View];
    if (slot == old) return;
    ps.m_Selected[m_View] = slot;
    const bool taken = slot && slot->m_Owner ? m_Owner.SelectItem(slot->m_Owner->m_Index,
                                                                  ItemKindOf(slot->m_Owner->m_Kind))
                                             : m_Owner.SelectItem(-1, ITEM_NONE);
    // The main window refuses a new selection while an open edit fails its check; the picture
    // then keeps showing the item being edited.
    if (!taken) ps.m_Selected[m_View] = old;
    DrawItem(old);
    DrawItem(slot);
    Repaint();
}

void UserMap::OnMouseMove(int x, int y) {
    if (m_Owner.InputRefused()) return;
    if (!m_Tracking) m_Tracking = true;  // the window reports the pointer leaving from now on
    Slot* slot = Normalise(HitTest(x, y));
    PanelSlots& ps = m_Panels[m_Panel];
    Slot* old = ps.m_Hovered[m_View];
    if (slot == old) return;
    ps.m_Hovered[m_View] = slot;
    DrawItem(old);
    DrawItem(slot);
    Repaint();
}

void UserMap::OnMouseLeave() {
    if (m_Owner.InputRefused()) return;
    m_Tracking = false;
    PanelSlots& ps = m_Panels[m_Panel];
    Slot* old = ps.m_Hovered[m_View];
    if (!old) return;
    ps.m_Hovered[m_View] = nullptr;
    DrawItem(old);
    Repaint();
}

void UserMap::OnLButtonUp(int x, int y) {
    if (m_Owner.InputRefused()) return;
    if (Slot* slot = HitTest(x, y)) SelectSlot(slot);
}

void UserMap::OnLButtonDblClk(int x, int y) {
    if (m_Owner.InputRefused()) return;
    Slot* slot = HitTest(x, y);
    if (!slot) return;
    SelectSlot(slot);
    if (Selected(m_Panel, m_View) != Normalise(slot)) return;  // the selection was refused
    if (!slot->m_Owner) return;
    if (m_Owner.IsEditOpen()) m_Owner.EndEdit(1);
    m_Owner.BeginEdit(3);
}

void UserMap::OnRButtonUp(int x, int y, int screenX, int screenY) {
    if (m_Owner.InputRefused()) return;
    Slot* slot = HitTest(x, y);
    if (!slot) return;
    SelectSlot(slot);
    if (Selected(m_Panel, m_View) != Normalise(slot)) return;  // the selection was refused
    const int menu = ContextMenuFor(slot);
    if (menu == MENU_NONE) return;
    const int command = m_Owner.TrackContextMenu(menu, screenX, screenY);
    if (command != 0) OnMenuCommand(command);
}

bool UserMap::SettleOpenEdit() {
    return !m_Owner.IsEditOpen() || m_Owner.EndEdit(1);
}

void UserMap::OnMenuCommand(int command) {
    if (m_Owner.InputRefused()) return;
    const Slot* slot = m_Panels[m_Panel].m_Selected[m_View];
    switch (command) {
        case CMD_DELETE_BREAKER: {
            if (!slot || !slot->m_Owner) {
                m_Owner.ShowMessage("OnDeleteBreaker(): No breaker referenced", MsgIcon::Stop);
                return;
            }
            if (!SettleOpenEdit()) return;
            const SlotRef& owner = *slot->m_Owner;
            bool deleted;
            if (owner.m_Kind == OWNER_BREAKER)
                deleted = m_Owner.DeleteBreaker(m_Panel, owner.m_Index);
            else if (owner.m_Kind == OWNER_SUBFEED)
                deleted = m_Owner.DeleteSubfeed(m_Panel, owner.m_Index);
            else {
                m_Owner.ShowMessage("OnDeleteBreaker(): Invalid breaker type", MsgIcon::Stop);
                return;
            }
            if (deleted) {
                ReloadSlots();
                m_Owner.SelectItem(-1, ITEM_NONE);
            }
            return;
        }
        case CMD_ADD_BREAKER_ONE:
        case CMD_ADD_BREAKER_TWO:
        case CMD_ADD_BREAKER_THREE: {
            const int poles = command == CMD_ADD_BREAKER_ONE   ? 1
                              : command == CMD_ADD_BREAKER_TWO ? 2
                                                               : 3;
            const char* handler = poles == 1   ? "OnAddBreakerOne()"
                                  : poles == 2 ? "OnAddBreakerTwo()"
                                               : "OnAddBreakerThree()";
            // Breakers go into the slot columns only.
            if (!slot || slot->m_Type != SLOT_PANEL) {
                m_Owner.ShowMessage(FormatStr("%s: No slot referenced", handler), MsgIcon::Stop);
                return;
            }
            if (slot->m_Owner) {
                m_Owner.ShowMessage(FormatStr("%s: Breaker already referenced", handler),
                                    MsgIcon::Stop);
                return;
            }
            if (!m_Config || !SettleOpenEdit()) return;
            const int display = SlotToDisplay(m_Config->m_Panels[m_Panel], slot->m_Index + 1);
            const int added = m_Owner.AddBreaker(m_Panel, display, poles, slot->m_Index);
            if (added != -1) {
                ReloadSlots();
                m_Owner.SelectItem(added, ItemKindOf(OWNER_BREAKER));
            }
            return;
        }
        case CMD_ADD_SUBFEED: {
            // Subfeeds go into the slot columns or the auxiliary positions.
            if (!slot || slot->m_Type == SLOT_MAIN) {
                m_Owner.ShowMessage("OnAddBreakerSubfeed(): No slot referenced", MsgIcon::Stop);
                return;
            }
            if (slot->m_Owner) {
                m_Owner.ShowMessage("OnAddBreakerSubfeed(): Breaker already referenced",
                                    MsgIcon::Stop);
                return;
            }
            if (!SettleOpenEdit()) return;
            const int added = m_Owner.AddSubfeed(m_Panel, *slot);
            if (added != -1) {
                ReloadSlots();
                m_Owner.SelectItem(added, ItemKindOf(OWNER_SUBFEED));
            }
            return;
        }
        default:
            return;
    }
}

}  // namespace jvo::tool
