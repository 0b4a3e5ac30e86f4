#include "config/UnitConfig.h"

namespace jvo {

const char* const SignalNames[kSignalNameCount] = {
    "Panel X",   "Panel Y",   "Panel Z",   "Panel N",       "Panel G",   "Module 1",  "Module 2",
    "Module 3",  "Module 4",  "Module 5",  "Module 6",      "Module 7",  "Module 8",  "Module 9",
    "Module 10", "Module 11", "Module 12", "Module 13",     "Module 14", "Module 15", "Module 16",
    "Module 17", "Module 18", "Module 19", "Module 20",     "Module 21", "Module 22", "Module 23",
    "Module 24", "Module 25", "Module 26", "Module 27",     "Module 28", "Module 29", "Module 30",
    "Module 31", "Module 32", "Module 33", "Module 34",     "Module 35", "Module 36", "Module 37",
    "Module 38", "Module 39", "Module 40", "Module 41",     "Module 42", "Large 1",   "Large 2",
    "Large 3",   "Large 4",   "Large 5",   "Large 6",       "Large 7",   "Large 8",   "Large 9",
    "Spare 1",   "Spare 2",   "Spare 3",   "Not Configured"};

const char* const BoardTypeNames[kBoardTypeCount] = {
    "PBVI A-Side",     "PBVI B-Side",       "LIB-G1",        "LIB-G2",
    "MODULE (Normal)", "MODULE (Inverted)", "LIB-G1 (Con1)", "LIB-G1 (Con2)",
    "LIB-G2 (Con1)",   "LIB-G2 (Con2)",     "RETROFIT"};

std::string CtDisplayName(const UnitConfig& config, uint32_t ref) {
    if (!IsChannel(ref)) return "Not Connected";
    if (config.m_Unit.m_CrossConfig) {
        if (ref < kCtPerPanel) return std::string("A-") + SignalNames[ref];
        return std::string("B-") + SignalNames[ref - kCtPerPanel];
    }
    return SignalNames[ref % kCtPerPanel];
}

int CtUseCount(const UnitConfig& config, uint32_t ref) {
    if (!IsChannel(ref)) return 0;
    int count = 0;
    for (const PanelRecord& panel : config.m_Panels)
        ForEachPanelRef(panel, [&](CtRef r) { count += (r == ref) ? 1 : 0; });
    return count;
}

}  // namespace jvo
