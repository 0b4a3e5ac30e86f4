#include "monitor/NameCleaning.h"

namespace jvo {

namespace {

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::string CleanName(std::string name) {
    for (char& c : name)
        if (c == '.') c = ' ';
    while (!name.empty() && IsWhite(name.back()))
        name.pop_back();
    return name;
}

void CleanNames(UnitConfig& config) {
    config.m_Unit.m_UnitName = CleanName(std::move(config.m_Unit.m_UnitName));
    for (PanelRecord& panel : config.m_Panels) {
        panel.m_PanelName = CleanName(std::move(panel.m_PanelName));
        for (int i = 0; i < panel.UsedBreakers(); ++i)
            panel.m_Breakers[i].m_Name = CleanName(std::move(panel.m_Breakers[i].m_Name));
        for (int i = 0; i < panel.UsedSubfeeds(); ++i)
            panel.m_Subfeeds[i].m_Name = CleanName(std::move(panel.m_Subfeeds[i].m_Name));
    }
}

std::string UnitFieldText(const UnitConfig& config) {
    return " " + config.m_Unit.m_UnitName;
}

}  // namespace jvo
