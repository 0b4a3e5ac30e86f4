#pragma once
// The complete configuration of one monitoring unit: unit record, two panels (A and B) with their
// main feeds, breakers and subfeeds, and the 118 current-signal channels. A plain value type:
// copying copies every entry, also those beyond the counts.
#include <array>
#include <cstdint>
#include <string>

namespace jvo {

using CtRef = uint16_t;

constexpr CtRef CT_NONE = 127;
constexpr int kPanelCount = 2;
constexpr int kMaxBreakers = 42;
constexpr int kMaxSubfeeds = 16;
constexpr int kCtCount = 118;
constexpr int kCtPerPanel = 59;
constexpr int kIScaleFactorCount = 16;  // one scale factor per signal path
constexpr int kSignalNameCount = 60;
constexpr int kBoardTypeCount = 11;

extern const char* const SignalNames[kSignalNameCount];
extern const char* const BoardTypeNames[kBoardTypeCount];

struct UnitRecord {
    std::string m_UnitName;
    uint16_t m_UnitAddr = 0;
    uint8_t m_CrossConfig = 0;
    float m_AdcFactor = 0.0f;
    float m_VScaleFactor = 0.0f;
    std::array<float, kIScaleFactorCount> m_IScaleFactor{};
    float m_IGainFactor = 0.0f;
    bool operator==(const UnitRecord&) const = default;
};

struct BreakerRecord {
    std::string m_Name;
    uint16_t m_Rating = 0;
    uint16_t m_Position = 0;
    uint16_t m_Poles = 0;
    std::array<CtRef, 3> m_Ct{CT_NONE, CT_NONE, CT_NONE};
    uint16_t m_OcAlarm = 0;
    uint16_t m_OcWarning = 0;
    uint16_t m_UcAlarm = 0;
    uint16_t m_Hysteresis = 0;
    bool operator==(const BreakerRecord&) const = default;
};

// Placement of a subfeed (and of the main feed).
enum Placement : uint16_t { PLACEMENT_MAIN = 0, PLACEMENT_PANEL = 1, PLACEMENT_AUX = 2 };

struct SubfeedRecord {
    std::string m_Name;
    uint16_t m_Rating = 0;
    uint16_t m_Placement = 0;
    uint16_t m_Position = 0;
    uint16_t m_Poles = 0;
    uint16_t m_OcAlarm = 0;
    uint16_t m_OcWarning = 0;
    uint16_t m_NeutralAlarm = 0;
    uint16_t m_GroundAlarm = 0;
    uint16_t m_Hysteresis = 0;
    std::array<CtRef, 6> m_Ct{CT_NONE, CT_NONE, CT_NONE, CT_NONE, CT_NONE, CT_NONE};
    bool operator==(const SubfeedRecord&) const = default;
};

struct PanelRecord {
    std::string m_PanelName;
    std::string m_Password1;
    std::string m_Password2;
    uint8_t m_Installed = 0;
    uint16_t m_Layout = 0;
    uint16_t m_PanelSize = 0;
    uint16_t m_RatedBy = 0;
    uint16_t m_KvaRating = 0;
    std::array<uint16_t, 3> m_Boards{};
    uint16_t m_Reserved2 = 0;
    uint16_t m_Reserved3 = 0;
    uint16_t m_Reserved4 = 0;
    uint16_t m_Reserved5 = 0;
    uint16_t m_BreakerCnt = 0;
    uint16_t m_SubfeedCnt = 0;
    uint16_t m_MainVoltageRating = 0;
    uint16_t m_OverVoltageSetpoint = 0;
    uint16_t m_UnderVoltageSetpoint = 0;
    uint16_t m_NominalFrequency = 0;
    uint16_t m_OverFrequencySetpoint = 0;
    uint16_t m_UnderFrequencySetpoint = 0;
    uint16_t m_HysteresisInterval = 0;
    SubfeedRecord m_MainFeed;
    std::array<BreakerRecord, kMaxBreakers> m_Breakers{};
    std::array<SubfeedRecord, kMaxSubfeeds> m_Subfeeds{};
    bool operator==(const PanelRecord&) const = default;

    // The used entries, bounded by the table sizes whatever the counts say.
    int UsedBreakers() const { return m_BreakerCnt < kMaxBreakers ? m_BreakerCnt : kMaxBreakers; }
    int UsedSubfeeds() const { return m_SubfeedCnt < kMaxSubfeeds ? m_SubfeedCnt : kMaxSubfeeds; }
};

struct CtRecord {
    uint16_t m_Primary = 0;
    uint16_t m_Secondary = 0;
    uint16_t m_VoltageIndex = 0;
    uint16_t m_SignalPath = 0;
    uint16_t m_Option = 0;
    float m_ChannelAmps = 0.0f;
    bool operator==(const CtRecord&) const = default;
};

struct UnitConfig {
    UnitRecord m_Unit;
    std::array<PanelRecord, kPanelCount> m_Panels{};
    std::array<CtRecord, kCtCount> m_Ct{};

    void Clear() { *this = UnitConfig(); }
    bool operator==(const UnitConfig&) const = default;
};

// True when `ref` names one of the 118 channels (CT_NONE and every other value do not).
constexpr bool IsChannel(uint32_t ref) {
    return ref < static_cast<uint32_t>(kCtCount);
}

// The channel references a breaker really has: its first min(m_Poles, 3) entries.
constexpr int BreakerRefCount(const BreakerRecord& b) {
    return b.m_Poles < 3 ? b.m_Poles : 3;
}

// The letter that names a panel in messages.
constexpr char PanelLetter(int panel) {
    return static_cast<char>('A' + panel);
}

// Text for a channel in messages: "Not Connected" for CT_NONE, "A-"/"B-" prefixes with
// cross-configuration. Values that name no channel give "Not Connected" too.
std::string CtDisplayName(const UnitConfig& config, uint32_t ref);

// How many references name channel `ref` over both panels (0 for anything that is no channel).
int CtUseCount(const UnitConfig& config, uint32_t ref);

// Calls fn(ref) for every channel reference that the used records of `panel` hold: the six of the
// main feed, the first min(m_Poles, 3) of each used breaker, the six of each used subfeed.
template <class Fn>
void ForEachPanelRef(const PanelRecord& panel, Fn&& fn) {
    for (CtRef r : panel.m_MainFeed.m_Ct)
        fn(r);
    for (int i = 0; i < panel.UsedBreakers(); ++i) {
        const BreakerRecord& b = panel.m_Breakers[i];
        for (int k = 0; k < BreakerRefCount(b); ++k)
            fn(b.m_Ct[k]);
    }
    for (int i = 0; i < panel.UsedSubfeeds(); ++i)
        for (CtRef r : panel.m_Subfeeds[i].m_Ct)
            fn(r);
}

}  // namespace jvo
