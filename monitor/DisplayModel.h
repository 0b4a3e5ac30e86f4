#pragma once
// What the main window shows for the current panel, computed from the stored readings, the
// configuration loaded at connect and the alarm mode: the texts and colours of the main breaker
// area, and the texts and status icon of every breaker and subfeed row. The windows only draw it.
#include <array>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

enum class AlarmMode : int { Raw = 0, Filtered = 1, Latched = 2 };

// How a field is coloured. Alarm: red background (RGB 255, 64, 64) with white text. Warning:
// yellow background (RGB 255, 255, 64). Normal: the default background. Plain: a white background
// (the panel name without its panel flag).
enum class ColourRole : int { Normal = 0, Alarm = 1, Warning = 2, Plain = 3 };

// Status icon images of both lists.
enum StatusIcon : int { ICON_LOAD = 0, ICON_WARNING = 1, ICON_ALARM = 2, ICON_IDLE = 3 };

struct PhaseRowView {  // one of X, Y, Z
    std::string m_IRms, m_IPct, m_IThd, m_ICf, m_Vll, m_Vln, m_VThd, m_VCf, m_Power, m_Va, m_Pf;
    ColourRole m_IRmsColour = ColourRole::Normal;  // the same for all three phases
    ColourRole m_VllColour = ColourRole::Normal;
    bool operator==(const PhaseRowView&) const = default;
};

struct MainBreakerView {
    std::string m_PanelName;  // one blank, then the panel name
    ColourRole m_PanelNameColour = ColourRole::Plain;
    std::array<PhaseRowView, 3> m_Phases{};
    std::string m_Ground, m_Neutral;
    ColourRole m_GroundColour = ColourRole::Normal;
    ColourRole m_NeutralColour = ColourRole::Normal;
    std::string m_TotalPower, m_TotalVa, m_TotalPf;
    std::string m_Energy;  // "%.3lf kWH"
    bool operator==(const MainBreakerView&) const = default;
};

struct BreakerRowView {
    std::string m_Name, m_TypeRating, m_Load;
    std::array<std::string, 3> m_I;  // I1, I2, I3
    std::string m_Power, m_Va, m_Pf, m_Kwh;
    int m_Icon = ICON_IDLE;
    bool operator==(const BreakerRowView&) const = default;
};

struct SubfeedRowView {
    std::string m_Name, m_Rating, m_Load;
    std::array<std::string, 5> m_I;  // Ix, Iy, Iz, In, Ig
    std::string m_Power, m_Va, m_Pf, m_Kwh;
    int m_Icon = ICON_IDLE;
    bool operator==(const SubfeedRowView&) const = default;
};

// The CT reading a configuration reference points at, or null for CT_NONE (and for any other
// value that names no CT).
const CtReading* CtFor(const ReadingsSnapshot& s, uint32_t ref);
// A main feed's ground current: the sum of the CTs in its entries 4 and 5 that are connected.
double GroundCurrent(const ReadingsSnapshot& s, const SubfeedRecord& feed);

// I-PCT text of a current against the main feed's rating; "----" when the rating is 0.
std::string PercentOfRating(double amps, unsigned rating);

// " %d-Pole %d A" and "%d A": the fixed texts of a breaker's and a subfeed's row.
std::string BreakerTypeRatingText(const BreakerRecord& b);
std::string SubfeedRatingText(const SubfeedRecord& s);

// The status icons, also used alone by the 200 ms display timer.
int BreakerIcon(const BreakerReading& r, AlarmMode mode);
int SubfeedIcon(const SubfeedReading& r, AlarmMode mode);

// A panel other than 0 or 1, or a row beyond the 42 breaker or 16 subfeed slots, gives an empty
// view.
MainBreakerView MakeMainBreakerView(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                                    AlarmMode mode);
BreakerRowView MakeBreakerRow(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                              int index, AlarmMode mode);
SubfeedRowView MakeSubfeedRow(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                              int index, AlarmMode mode);
// All used rows of a panel, in order.
std::vector<BreakerRowView> MakeBreakerRows(const UnitConfig& config, const ReadingsSnapshot& s,
                                            int panel, AlarmMode mode);
std::vector<SubfeedRowView> MakeSubfeedRows(const UnitConfig& config, const ReadingsSnapshot& s,
                                            int panel, AlarmMode mode);

}  // namespace jvo
