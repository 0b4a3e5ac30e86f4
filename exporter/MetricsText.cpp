#include "exporter/MetricsText.h"

#include "exporter/FleetCollector.h"
#include "exporter/TextFormat.h"

namespace jvo::exporter {

ViewStamp MetricsText::Kept(size_t index, const std::string& name) const {
    if (index >= m_Parts.size() || m_Parts[index].m_Name != name) return {};
    return m_Parts[index].m_Stamp;
}

MetricsText::Part MetricsText::Make(const UnitView& view) {
    Part part;
    part.m_Name = view.m_Name;
    part.m_Stamp = view.m_Stamp;
    const std::vector<prometheus::MetricFamily> families = UnitFamilies(view);
    if (m_Headers.size() < families.size()) m_Headers.resize(families.size());
    part.m_Samples.resize(families.size());
    for (size_t f = 0; f < families.size(); ++f) {
        if (families[f].metric.empty()) continue;
        if (m_Headers[f].empty()) AppendHeader(m_Headers[f], families[f]);
        AppendSamples(part.m_Samples[f], families[f]);
    }
    return part;
}

std::shared_ptr<const std::string> MetricsText::Build(const std::vector<UnitView>& views) {
    std::vector<Part> parts;
    parts.reserve(views.size());
    for (size_t i = 0; i < views.size(); ++i) {
        const UnitView& v = views[i];
        if (v.m_Same && v.m_Stamp.m_Known && Kept(i, v.m_Name) == v.m_Stamp) {
            parts.push_back(std::move(m_Parts[i]));
        } else if (v.m_Same) {
            UnitView down;
            down.m_Name = v.m_Name;
            parts.push_back(Make(down));
        } else {
            parts.push_back(Make(v));
        }
    }
    m_Parts = std::move(parts);
    size_t size = 0;
    for (const Part& p : m_Parts)
        for (const std::string& s : p.m_Samples)
            size += s.size();
    for (const std::string& h : m_Headers)
        size += h.size();
    auto text = std::make_shared<std::string>();
    text->reserve(size);
    for (size_t f = 0; f < m_Headers.size(); ++f) {
        bool any = false;
        for (const Part& p : m_Parts)
            if (f < p.m_Samples.size() && !p.m_Samples[f].empty()) {
                if (!any) text->append(m_Headers[f]);
                any = true;
                text->append(p.m_Samples[f]);
            }
    }
    return text;
}

}  // namespace jvo::exporter
