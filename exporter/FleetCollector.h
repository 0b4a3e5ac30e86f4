#pragma once
// The exporter's metrics, built at each scrape from the views of the unit pollers and handed to
// the Prometheus client library, which serves and formats them. Nothing here waits on a unit.
#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "exporter/UnitPoller.h"

namespace jvo::exporter {

// The families of the given views, in a fixed order (used by the collector and by tests).
std::vector<prometheus::MetricFamily> BuildFamilies(const std::vector<UnitView>& views);

class FleetCollector final : public prometheus::Collectable {
public:
    explicit FleetCollector(std::vector<const UnitPoller*> pollers)
        : m_Pollers(std::move(pollers)) {}
    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    std::vector<const UnitPoller*> m_Pollers;
};

}  // namespace jvo::exporter
