#pragma once
// The logic of the read-only configuration views and of the about box: the texts of their fields
// and the range checks of "OK" in the breaker view. Nothing here changes the configuration.
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "link/UnitClient.h"

namespace jvo {

// One edit field of a view: its control id and its text.
struct ViewField {
    int m_Id = 0;
    std::string m_Text;
    bool operator==(const ViewField&) const = default;
};

// Field ids of the breaker view ("Breaker Alarm Configuration").
enum BreakerViewField : int {
    BV_PANEL_NAME = 1002,
    BV_NAME = 1056,
    BV_POSITION = 1057,
    BV_POLES = 1058,
    BV_CT1 = 1059,
    BV_CT2 = 1060,
    BV_CT3 = 1061,
    BV_OC_ALARM = 1062,
    BV_OC_WARNING = 1063,
    BV_UC_ALARM = 1064,
    BV_HYSTERESIS = 1065,
    BV_RATING = 1066,
};

// Field ids of the subfeed view ("Subfeed Configuration").
enum SubfeedViewField : int {
    SV_NAME = 1002,
    SV_RATING = 1060,
    SV_OC_ALARM = 1062,
    SV_OC_WARNING = 1063,
    SV_CT2 = 1065,
    SV_CT3 = 1066,
    SV_CT4 = 1067,
    SV_CT5 = 1068,
    SV_CT1 = 1069,
    SV_CT6 = 1070,
    SV_NEUTRAL_ALARM = 1071,
    SV_GROUND_ALARM = 1072,
};

constexpr const char* kBreakerViewTitle = "Breaker Alarm Configuration";
constexpr const char* kSubfeedViewTitle = "Subfeed Configuration";

// True when a double-click on list row `row` opens a view: 0 <= row < the panel's used count.
bool BreakerRowOpens(const UnitConfig& config, int panel, int row);
bool SubfeedRowOpens(const UnitConfig& config, int panel, int row);

// The fields in the order the view lists them. CT numbers are shown plus 1 (CT_NONE as 128); the
// pole position is the displayed position in the panel's layout. Empty when the row does not open.
std::vector<ViewField> BreakerViewFields(const UnitConfig& config, int panel, int row);
std::vector<ViewField> SubfeedViewFields(const UnitConfig& config, int panel, int row);

// "OK" in the breaker view: the fields read back are checked in order (rating 10..1000, the three
// alarm percentages 0..100, hysteresis 1..60). Empty when all are in range, otherwise the message
// for the first that is not: "Please enter an integer between %1 and %2." with its bounds; the
// view then stays open. `badField` receives that field's id (0 when all are in range).
std::string CheckBreakerViewFields(const std::vector<ViewField>& fields, int* badField = nullptr);

// The about box ("About Monitor").
struct AboutView {
    std::string m_Title;            // "JVO/TKA Monitor"
    std::string m_Version;          // "Build 25"
    std::string m_FirmwareBuild;    // "%d", or "Not Connected"
    std::string m_HardwareVersion;  // "%d", or "Not Connected"
    std::string m_Schema;           // "4"
    bool operator==(const AboutView&) const = default;
};
// `version` is null while no firmware version has been read.
AboutView MakeAboutView(const VersionInfo* version);

}  // namespace jvo
