#include "tool/BreakerOps.h"

#include "config/Slots.h"

namespace jvo::tool {

namespace {

constexpr uint16_t kInvertedModule = 1;  // branch connector code "MODULE (Inverted)"
constexpr int kFirstModule = 5;          // local channel of "Module 1"

bool ValidPanel(int panel) {
    return panel >= 0 && panel < kPanelCount;
}

}  // namespace

CtRef NewBreakerChannel(const UnitConfig& config, int panel, int slot, int pole) {
    if (!ValidPanel(panel)) return CT_NONE;
    const int t = slot + pole;
    if (slot < 0 || pole < 0 || t >= kPanelSlots) return CT_NONE;
    const bool inverted =
        t >= kSlotsPerColumn && config.m_Panels[panel].m_Boards[2] == kInvertedModule;
    const int local = inverted ? 67 - t : kFirstModule + t;
    return static_cast<CtRef>(local + panel * kCtPerPanel);
}

int HardwareClass(const UnitConfig& config, int panel) {
    if (!ValidPanel(panel)) return kHardwareClassNone;
    const uint16_t a = config.m_Panels[0].m_Boards[0];
    const uint16_t b = config.m_Panels[1].m_Boards[0];
    int base;
    if (a == 0 && b == 1)
        base = 0;
    else if (a == 2 && b == 2)
        base = 3;
    else if (a == 3 && b == 3)
        base = 6;
    else
        return kHardwareClassNone;
    if (config.m_Unit.m_CrossConfig) return base + 2;
    return base + panel;
}

uint32_t SubfeedGroupMask(int cls) {
    switch (cls) {
        case 0:
            return 0x1;
        case 1:
            return 0x2;
        case 2:
            return 0x7;
        case 3:
        case 6:
            return 0x7F8;
        case 4:
        case 7:
            return 0x7F800;
        case 5:
        case 8:
            return 0x7FFF8;
        default:
            return 0;
    }
}

std::array<CtRef, 5> SubfeedGroupChannels(int group) {
    switch (group) {
        case 0:
            return {47, 48, 49, 50, 51};
        case 1:
            return {106, 107, 108, 109, 110};
        case 2:
            return {111, 112, 113, 52, 53};
        default:
            break;
    }
    if (group >= 3 && group <= 10) {
        const int m = group - 3;
        return {static_cast<CtRef>(5 + 4 * m), static_cast<CtRef>(6 + 4 * m),
                static_cast<CtRef>(7 + 4 * m), static_cast<CtRef>(8 + 4 * m),
                static_cast<CtRef>(39 + m)};
    }
    if (group >= 11 && group <= 18) {
        const int m = group - 11;
        return {static_cast<CtRef>(64 + 4 * m), static_cast<CtRef>(65 + 4 * m),
                static_cast<CtRef>(66 + 4 * m), static_cast<CtRef>(67 + 4 * m),
                static_cast<CtRef>(98 + m)};
    }
    return {CT_NONE, CT_NONE, CT_NONE, CT_NONE, CT_NONE};
}

bool SubfeedGroupFree(const UnitConfig& config, int group) {
    if (group < 0 || group >= kSubfeedGroupCount) return false;
    for (CtRef ref : SubfeedGroupChannels(group))
        if (CtUseCount(config, ref) > 0) return false;
    return true;
}

SubfeedCandidates ListSubfeedCandidates(const UnitConfig& config, int panel) {
    SubfeedCandidates list;
    list.m_Class = HardwareClass(config, panel);
    const uint32_t mask = SubfeedGroupMask(list.m_Class);
    for (int g = 0; g < kSubfeedGroupCount && list.m_Count < 16; ++g) {
        if (!(mask & (1u << g))) continue;
        if (SubfeedGroupFree(config, g))
            list.m_EnableMask = static_cast<uint16_t>(list.m_EnableMask | (1u << list.m_Count));
        list.m_Groups[list.m_Count++] = g;
    }
    return list;
}

void SetUpSubfeedChannels(UnitConfig& config, int panel, int group, int size, bool libG1) {
    if (!ValidPanel(panel) || group < 0 || group >= kSubfeedGroupCount || size < 0 ||
        size >= kSubfeedSizeCount)
        return;
    const uint16_t s = kSubfeedSizes[size];
    const std::array<CtRef, 5> channels = SubfeedGroupChannels(group);
    for (int j = 0; j < 5; ++j) {
        CtRecord& ct = config.m_Ct[channels[j]];
        double amps;
        if (j < 3) {
            ct.m_Primary = s == 100 ? (libG1 ? 200 : 100) : s == 225 ? 200 : 500;
            ct.m_VoltageIndex = static_cast<uint16_t>(panel == 0 ? j : j + 3);
            amps = static_cast<double>(s) * 0.01;
        } else if (j == 3) {
            ct.m_Primary = s == 100 ? 200 : 500;
            ct.m_VoltageIndex = kVoltageIndexNone;
            amps = static_cast<double>(s) * 0.0175;
        } else {
            ct.m_Primary = 100;
            ct.m_VoltageIndex = kVoltageIndexNone;
            amps = 0.25;
        }
        ct.m_ChannelAmps = static_cast<float>(amps);
        ct.m_Secondary = libG1 ? 5 : 1;
        ct.m_Option = 0;
    }
}

int BreakerInsertIndex(const PanelRecord& panel, int display) {
    const int used = panel.UsedBreakers();
    for (int i = 0; i < used; ++i)
        if (SlotToDisplay(panel, panel.m_Breakers[i].m_Position) > display) return i;
    return used;
}

int SubfeedInsertIndex(const PanelRecord& panel, const SubfeedRecord& record) {
    // Positions of panel-slot subfeeds compare as displayed numbers, others as stored; all as
    // unsigned 16-bit values.
    auto key = [&](const SubfeedRecord& s) -> uint16_t {
        return s.m_Placement == PLACEMENT_PANEL
                   ? static_cast<uint16_t>(SlotToDisplay(panel, s.m_Position))
                   : s.m_Position;
    };
    const int used = panel.UsedSubfeeds();
    for (int i = 0; i < used; ++i) {
        const SubfeedRecord& other = panel.m_Subfeeds[i];
        if (record.m_Placement < other.m_Placement) return i;
        if (record.m_Placement == other.m_Placement && key(record) < key(other)) return i;
    }
    return used;
}

bool PanelSlotsFree(const PanelRecord& panel, int first, int count) {
    if (first < 1 || count < 1 || first + count - 1 > kPanelSlots) return false;
    auto overlaps = [&](int position, int poles) {
        const int last = position + poles - 1;
        return position <= first + count - 1 && last >= first;
    };
    for (int i = 0; i < panel.UsedBreakers(); ++i) {
        const BreakerRecord& b = panel.m_Breakers[i];
        if (overlaps(b.m_Position, b.m_Poles)) return false;
    }
    for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
        const SubfeedRecord& s = panel.m_Subfeeds[i];
        // A panel-slot subfeed is drawn over three slots whatever its pole count says.
        if (s.m_Placement == PLACEMENT_PANEL &&
            overlaps(s.m_Position, s.m_Poles > 3 ? s.m_Poles : 3))
            return false;
    }
    return true;
}

bool AuxPositionFree(const PanelRecord& panel, int position) {
    if (position < 1 || position > kAuxPositions) return false;
    for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
        const SubfeedRecord& s = panel.m_Subfeeds[i];
        if (s.m_Placement != PLACEMENT_PANEL && s.m_Position == position) return false;
    }
    return true;
}

}  // namespace jvo::tool
