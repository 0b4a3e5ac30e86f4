// BasicDlg: adding and deleting breakers and subfeeds.
#include "base/FormatStr.h"
#include "config/ConfigCheck.h"
#include "config/Slots.h"
#include "tool/BasicDlg.h"
#include "tool/BreakerOps.h"

namespace jvo::tool {

namespace {

bool ValidPanel(int panel) {
    return panel >= 0 && panel < kPanelCount;
}

// True when `count` poles from internal slot `first` would straddle the two columns of an
// odd/even panel.
bool SpansColumns(const PanelRecord& panel, int first, int count) {
    return IsOddEvenLayout(panel.m_Layout) && first <= kSlotsPerColumn &&
           first + count - 1 > kSlotsPerColumn;
}

}  // namespace

int BasicDlg::AddBreaker(int panel, int display, int poles, int slotIndex) {
    if (InputRefused()) return -1;
    if (!ValidPanel(panel)) return -1;
    PanelRecord& rec = m_Config.m_Panels[panel];
    if (rec.m_BreakerCnt >= kMaxBreakers) {
        Stop(FormatStr("Cannot add breaker: panel %c already has %d breakers", PanelLetter(panel),
                       kMaxBreakers));
        return -1;
    }
    // The picture offers only free slots with room below them; anything else is refused here too.
    if (poles < 1 || poles > 3 || !PanelSlotsFree(rec, slotIndex + 1, poles) ||
        SpansColumns(rec, slotIndex + 1, poles)) {
        Stop(FormatStr("Cannot add breaker: there is no room for %d poles at position %d", poles,
                       display));
        return -1;
    }

    const int at = BreakerInsertIndex(rec, display);
    BreakerRecord b;
    b.m_Name = FormatStr("BREAKER #%02d", display);
    b.m_Rating = 20;
    b.m_Position = static_cast<uint16_t>(slotIndex + 1);
    b.m_Poles = static_cast<uint16_t>(poles);
    for (int k = 0; k < poles; ++k)
        b.m_Ct[k] = NewBreakerChannel(m_Config, panel, slotIndex, k);
    b.m_OcAlarm = 80;
    b.m_OcWarning = 75;
    b.m_UcAlarm = 0;
    b.m_Hysteresis = 5;
    for (int k = 0; k < poles; ++k) {
        if (CtUseCount(m_Config, b.m_Ct[k]) > 0) {
            Stop(FormatStr("Cannot add breaker: CT '%s' is already in use",
                           CtDisplayName(m_Config, b.m_Ct[k])));
            return -1;
        }
    }

    for (int j = rec.m_BreakerCnt; j > at; --j)
        rec.m_Breakers[j] = rec.m_Breakers[j - 1];
    rec.m_Breakers[at] = b;
    ++rec.m_BreakerCnt;
    ShiftSelections(panel, ITEM_BREAKER, at, +1);
    // Channel settings follow the new layout (voltage indexes, signal paths).
    ConfigCheck(m_Config, true, nullptr, nullptr);
    return at;
}

bool BasicDlg::CanAddSubfeed(int panel) const {
    if (!ValidPanel(panel)) return false;
    const SubfeedCandidates list = ListSubfeedCandidates(m_Config, panel);
    return list.m_Class != kHardwareClassNone && list.m_EnableMask != 0;
}

int BasicDlg::AddSubfeed(int panel, const Slot& slot) {
    if (InputRefused()) return -1;
    if (!ValidPanel(panel) || (slot.m_Type != SLOT_PANEL && slot.m_Type != SLOT_AUX)) return -1;
    PanelRecord& rec = m_Config.m_Panels[panel];
    const SubfeedCandidates list = ListSubfeedCandidates(m_Config, panel);
    if (list.m_Class == kHardwareClassNone || list.m_EnableMask == 0) return -1;
    if (rec.m_SubfeedCnt >= kMaxSubfeeds) {
        Stop(FormatStr("Cannot add subfeed: panel %c already has %d subfeeds", PanelLetter(panel),
                       kMaxSubfeeds));
        return -1;
    }
    const bool inPanel = slot.m_Type == SLOT_PANEL;
    const int position = inPanel ? slot.m_Index + 1 : slot.m_Group + 1;
    if (inPanel ? !PanelSlotsFree(rec, position, 3) || SpansColumns(rec, position, 3)
                : !AuxPositionFree(rec, position)) {
        Stop(inPanel
                 ? FormatStr("Cannot add subfeed: there is no room for 3 poles at position %d",
                             SlotToDisplay(rec, position))
                 : FormatStr("Cannot add subfeed: auxiliary position %d is not free", position));
        return -1;
    }

    int candidate = 0;
    while (candidate < list.m_Count && !(list.m_EnableMask & (1u << candidate)))
        ++candidate;
    int size = 0;
    if (!m_Ui.RunAddSubfeedDialog(list.m_EnableMask, candidate, size)) return -1;
    if (candidate < 0 || candidate >= list.m_Count || size < 0 || size >= kSubfeedSizeCount ||
        !(list.m_EnableMask & (1u << candidate)))
        return -1;

    const int group = list.m_Groups[candidate];
    const bool libG1 = list.m_Class >= 3 && list.m_Class <= 5;
    SetUpSubfeedChannels(m_Config, panel, group, size, libG1);

    SubfeedRecord s;
    s.m_Name = FormatStr("SUBFEED #%02d", candidate + 1);
    s.m_Rating = kSubfeedSizes[size];
    s.m_Placement = inPanel ? PLACEMENT_PANEL : PLACEMENT_AUX;
    s.m_Position = static_cast<uint16_t>(position);
    s.m_Poles = 3;
    s.m_OcAlarm = 80;
    s.m_OcWarning = 70;
    s.m_NeutralAlarm = 95;
    s.m_GroundAlarm = 5;
    s.m_Hysteresis = 5;
    const std::array<CtRef, 5> channels = SubfeedGroupChannels(group);
    for (int j = 0; j < 5; ++j)
        s.m_Ct[j] = channels[j];
    s.m_Ct[5] = CT_NONE;

    const int at = SubfeedInsertIndex(rec, s);
    for (int j = rec.m_SubfeedCnt; j > at; --j)
        rec.m_Subfeeds[j] = rec.m_Subfeeds[j - 1];
    rec.m_Subfeeds[at] = s;
    ++rec.m_SubfeedCnt;
    ShiftSelections(panel, ITEM_SUBFEED, at, +1);
    ConfigCheck(m_Config, true, nullptr, nullptr);
    return at;
}

bool BasicDlg::DeleteBreaker(int panel, int index) {
    if (InputRefused()) return false;
    if (!ValidPanel(panel)) return false;
    PanelRecord& rec = m_Config.m_Panels[panel];
    if (index < 0 || index >= rec.UsedBreakers()) return false;
    BreakerRecord& b = rec.m_Breakers[index];
    if (m_Ui.Message(FormatStr("Are you sure you want to delete this Breaker?\n\n\t%s", b.m_Name),
                     MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
        return false;
    for (int k = 0; k < BreakerRefCount(b); ++k) {
        if (b.m_Ct[k] == CT_NONE) continue;
        if (IsChannel(b.m_Ct[k])) m_Config.m_Ct[b.m_Ct[k]].m_VoltageIndex = kVoltageIndexNone;
        b.m_Ct[k] = CT_NONE;
    }
    const int used = rec.UsedBreakers();
    for (int j = index; j + 1 < used; ++j)
        rec.m_Breakers[j] = rec.m_Breakers[j + 1];
    rec.m_BreakerCnt = static_cast<uint16_t>(used - 1);
    ShiftSelections(panel, ITEM_BREAKER, index, -1);
    return true;
}

bool BasicDlg::DeleteSubfeed(int panel, int index) {
    if (InputRefused()) return false;
    if (!ValidPanel(panel)) return false;
    PanelRecord& rec = m_Config.m_Panels[panel];
    if (index < 0 || index >= rec.UsedSubfeeds()) return false;
    SubfeedRecord& s = rec.m_Subfeeds[index];
    if (m_Ui.Message(FormatStr("Are you sure you want to delete this Subfeed?\n\n\t%s", s.m_Name),
                     MsgButtons::YesNo, MsgIcon::None) != MsgResult::Yes)
        return false;
    for (CtRef& ref : s.m_Ct) {
        if (ref == CT_NONE) continue;
        if (IsChannel(ref)) m_Config.m_Ct[ref].m_VoltageIndex = kVoltageIndexNone;
        ref = CT_NONE;
    }
    const int used = rec.UsedSubfeeds();
    for (int j = index; j + 1 < used; ++j)
        rec.m_Subfeeds[j] = rec.m_Subfeeds[j + 1];
    rec.m_SubfeedCnt = static_cast<uint16_t>(used - 1);
    ShiftSelections(panel, ITEM_SUBFEED, index, -1);
    return true;
}

}  // namespace jvo::tool
