// A Google Benchmark of the exporter's /metrics text for a site of full units, for insight only:
// how long a scrape's text takes to build, afresh and with every unit unchanged since the last.
#include <benchmark/benchmark.h>
#include <prometheus/text_serializer.h>

#include <sstream>

#include "bench/FullConfig.h"
#include "exporter/FleetCollector.h"
#include "exporter/MetricsText.h"

namespace {

using namespace jvo;
using namespace jvo::exporter;

std::vector<UnitView> Site(int units) {
    std::vector<UnitView> views(static_cast<size_t>(units));
    const UnitConfig config = bench::FullConfig();
    for (int u = 0; u < units; ++u) {
        UnitView& v = views[static_cast<size_t>(u)];
        v.m_Name = "unit-" + std::to_string(u);
        v.m_Up = v.m_HaveReadings = true;
        v.m_Stamp.m_Known = v.m_Stamp.m_Up = true;
        v.m_Stamp.m_Session = 1;
        v.m_Config = config;
        v.m_Schema = 3;
        v.m_FirmwareBuild = 1234;
        for (int ct = 0; ct < kCtCount; ++ct)
            v.m_Readings.m_Ct[ct].m_IRms = 10.25f + static_cast<float>(ct + u) * 0.37f;
        v.m_Cycles.m_Count = 12;
    }
    return views;
}

void BM_LibrarySerializer(benchmark::State& state) {
    const std::vector<UnitView> views = Site(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::ostringstream text;
        prometheus::TextSerializer().Serialize(text, BuildFamilies(views));
        benchmark::DoNotOptimize(text.str().size());
    }
}

void BM_MetricsTextFresh(benchmark::State& state) {
    const std::vector<UnitView> views = Site(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MetricsText text;
        benchmark::DoNotOptimize(text.Build(views)->size());
    }
}

void BM_MetricsTextUnchanged(benchmark::State& state) {
    const std::vector<UnitView> views = Site(static_cast<int>(state.range(0)));
    MetricsText text;
    text.Build(views);
    std::vector<UnitView> same(views.size());
    for (size_t i = 0; i < views.size(); ++i) {
        same[i].m_Name = views[i].m_Name;
        same[i].m_Stamp = views[i].m_Stamp;
        same[i].m_Same = true;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(text.Build(same)->size());
}

}  // namespace

BENCHMARK(BM_LibrarySerializer)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetricsTextFresh)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MetricsTextUnchanged)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
