#pragma once
// The exporter's metrics as the Prometheus client library's families, made from the views of the
// unit pollers: one unit's at a time for the scrape's text (MetricsText), all units' at once as
// the reference that text is checked against. Nothing here waits on a unit.
//
// Names follow the Prometheus rules: base units (amperes, volts, joules, seconds), counters end in
// _total, and the configured names of panels, breakers and subfeeds are labels of _info metrics
// only, so that renaming a breaker does not start new series of its readings.
#include <vector>

#include <prometheus/metric_family.h>

#include "exporter/UnitPoller.h"

namespace jvo::exporter {

// The families of the given views, in a fixed order.
std::vector<prometheus::MetricFamily> BuildFamilies(const std::vector<UnitView>& views);
// The families of one unit: every family in the same fixed order, those without a metric of this
// unit included (empty).
std::vector<prometheus::MetricFamily> UnitFamilies(const UnitView& view);

}  // namespace jvo::exporter
