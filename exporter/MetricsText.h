#pragma once
// MetricsText: the text of /metrics, put together from each unit's part. A unit's part is made
// only when its view changed since the last build; a unit whose view is the same keeps the part it
// had. A view changes at most once a poll cycle, so a scrape of many units costs about the units
// that finished a cycle meanwhile.
//
// The text is the one the library writes for all units' families at once: each family's HELP
// and TYPE lines once, then its samples unit by unit, families in their fixed order.
#include <memory>
#include <string>
#include <vector>

#include "exporter/UnitPoller.h"

namespace jvo::exporter {

class MetricsText {
public:
    // The stamp of the part kept for the unit at `index` with `name` (not known when none is).
    ViewStamp Kept(size_t index, const std::string& name) const;
    // The text of these views, in their order; a view with m_Same keeps the unit's part (a view
    // with m_Same but no part kept for it shows the unit as down).
    std::shared_ptr<const std::string> Build(const std::vector<UnitView>& views);

private:
    struct Part {
        std::string m_Name;
        ViewStamp m_Stamp;
        std::vector<std::string> m_Samples;  // per family, without its HELP and TYPE lines
    };
    Part Make(const UnitView& view);

    std::vector<Part> m_Parts;
    std::vector<std::string> m_Headers;  // per family: its HELP and TYPE lines
};

}  // namespace jvo::exporter
