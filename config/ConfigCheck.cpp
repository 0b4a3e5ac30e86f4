#include "config/ConfigCheck.h"

#include <array>

#include "base/FormatStr.h"
#include "config/Slots.h"

namespace jvo {

namespace {

constexpr int kLocalSpare1 = 56;
constexpr int kLocalLarge1 = 47;
constexpr int kLargeCount = 9;
constexpr int kLocalModule1 = 5;
constexpr int kModulesPerConnector = 21;
constexpr int kNoVoltage = 7;

// Signal paths (the index of the per-path current scale factor).
enum SignalPath : uint16_t {
    PATH_PBVI_MAINS = 0,
    PATH_PBVI_NEUTRAL = 1,
    PATH_PBVI_GROUND = 2,
    PATH_PBVI_LARGE = 3,
    PATH_LIB_MAINS = 4,
    PATH_LIB_NEUTRAL = 5,
    PATH_LIB_1AMP = 7,
    PATH_LIB_5AMP = 8,
    PATH_RIB_MODULE = 9,
    PATH_DIRECT_MODULE = 10,
    PATH_DIRECT_SPARE = 11,
    PATH_UNUSED_LARGE = 15,
};

class Checker {
public:
    Checker(UnitConfig& config, bool correct) : m_Config(config), m_Correct(correct) {}

    int Run() {
        CheckLayouts();
        CheckCrossConfig();
        CheckSignalPaths();
        if (Serious()) return m_Result;
        CheckFeedGeometry();
        if (Serious()) return m_Result;
        CheckSlotOccupancy();
        if (Serious()) return m_Result;
        CheckChannelMapping();
        if (Serious()) return m_Result;
        CheckVoltageIndexes();
        if (Serious()) return m_Result;
        CheckColumnSpans();
        return m_Result;
    }

    std::string MinorText() const { return m_Minor.empty() ? "None.\r\n" : m_Minor; }
    std::string SeriousText() const { return m_Serious.empty() ? "None.\r\n" : m_Serious; }

private:
    // Records a minor finding; true when the caller is to apply its correction.
    bool Minor(const std::string& line) {
        m_Minor += line;
        m_Result |= CHECK_MINOR;
        return m_Correct;
    }
    void Corrected() { m_Result |= CHECK_CORRECTED; }
    void AddSerious(const std::string& line) {
        m_Serious += line;
        m_Result |= CHECK_SERIOUS;
    }
    bool Serious() const { return (m_Result & CHECK_SERIOUS) != 0; }

    // 1. Installed panels must use one of the two known layouts.
    void CheckLayouts() {
        for (int p = 0; p < kPanelCount; ++p) {
            PanelRecord& panel = m_Config.m_Panels[p];
            if (!panel.m_Installed || panel.m_Layout == 0 || panel.m_Layout == 1) continue;
            if (Minor(FormatStr("Panel %c: Layout is invalid (was %d should be %d or %d)\r\n",
                                PanelLetter(p), panel.m_Layout, 0, 1))) {
                panel.m_Layout = 1;
                Corrected();
            }
        }
    }

    // 2. Without cross-configuration every reference must stay inside its own panel's channels.
    void CheckCrossConfig() {
        if (m_Config.m_Unit.m_CrossConfig != 0) return;
        bool outside = false;
        for (int p = 0; p < kPanelCount; ++p) {
            const uint32_t first = static_cast<uint32_t>(p * kCtPerPanel);
            ForEachPanelRef(m_Config.m_Panels[p], [&](CtRef r) {
                if (r != CT_NONE && (r < first || r >= first + kCtPerPanel)) outside = true;
            });
        }
        if (outside && Minor("Cross-configuration is required but not specified\r\n")) {
            m_Config.m_Unit.m_CrossConfig = 1;
            Corrected();
        }
    }

    void ExpectPath(int p, int local, uint16_t expected) {
        const int ref = p * kCtPerPanel + local;
        CtRecord& ct = m_Config.m_Ct[ref];
        if (ct.m_SignalPath == expected) return;
        if (Minor(FormatStr("Panel %c: CT '%s' has incorrect signal path: %d (should be %d)\r\n",
                            PanelLetter(p), CtDisplayName(m_Config, ref), ct.m_SignalPath,
                            expected))) {
            ct.m_SignalPath = expected;
            Corrected();
        }
    }

    // Branch connector `connector` (1 or 2) feeds 21 module channels; their path follows the
    // board type. False for an unknown board type.
    bool ExpectConnectorPaths(int p, int connector, uint16_t code) {
        const int first = kLocalModule1 + (connector - 1) * kModulesPerConnector;
        for (int i = 0; i < kModulesPerConnector; ++i) {
            uint16_t path;
            switch (code) {
                case 0:
                case 1:
                    path = PATH_DIRECT_MODULE;
                    break;
                case 2:
                    path = PATH_LIB_5AMP;
                    break;
                case 3:
                    path = i < 13 ? PATH_LIB_5AMP : PATH_LIB_1AMP;
                    break;
                case 4:
                case 5:
                    path = PATH_LIB_1AMP;
                    break;
                case 6:
                    path = PATH_RIB_MODULE;
                    break;
                default:
                    return false;
            }
            ExpectPath(p, first + i, path);
        }
        return true;
    }

    // 3. Channel signal paths must match the interface boards of installed panels.
    void CheckSignalPaths() {
        for (int p = 0; p < kPanelCount; ++p) {
            const PanelRecord& panel = m_Config.m_Panels[p];
            if (!panel.m_Installed) continue;
            const char letter = PanelLetter(p);
            for (int local = kLocalSpare1; local < kCtPerPanel; ++local)
                ExpectPath(p, local, PATH_DIRECT_SPARE);

            const uint16_t mainBoard = panel.m_Boards[0];
            if (mainBoard <= 3) {
                const bool pbvi = mainBoard <= 1;
                for (int local = 0; local < 3; ++local)
                    ExpectPath(p, local, pbvi ? PATH_PBVI_MAINS : PATH_LIB_MAINS);
                ExpectPath(p, 3, pbvi ? PATH_PBVI_NEUTRAL : PATH_LIB_NEUTRAL);
                // Behind a LIB main board the ground input shares the neutral's path.
                ExpectPath(p, 4, pbvi ? PATH_PBVI_GROUND : PATH_LIB_NEUTRAL);
                for (int i = 0; i < kLargeCount; ++i)
                    ExpectPath(p, kLocalLarge1 + i, pbvi ? PATH_PBVI_LARGE : PATH_UNUSED_LARGE);
            } else {
                AddSerious(FormatStr("Panel %c: Has unknown main interface board type: %d\r\n",
                                     letter, mainBoard));
            }
            if (!ExpectConnectorPaths(p, 1, panel.m_Boards[1]))
                AddSerious(FormatStr(
                    "Panel %c: Branch connector 1 has unknown interface board type: %d\r\n", letter,
                    panel.m_Boards[1]));
            if (!ExpectConnectorPaths(p, 2, panel.m_Boards[2]))
                AddSerious(FormatStr(
                    "Panel %c: Branch connector 2 has unknown interface board type: %d\r\n", letter,
                    panel.m_Boards[2]));
        }
    }

    // Lowest auxiliary position no used subfeed of the panel occupies; 0 when all are taken.
    static uint16_t FreeAuxPosition(const PanelRecord& panel) {
        std::array<bool, kAuxPositions + 1> taken{};
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const SubfeedRecord& s = panel.m_Subfeeds[i];
            if (s.m_Placement == PLACEMENT_AUX && s.m_Position >= 1 &&
                s.m_Position <= kAuxPositions)
                taken[s.m_Position] = true;
        }
        for (uint16_t pos = 1; pos <= kAuxPositions; ++pos)
            if (!taken[pos]) return pos;
        return 0;
    }

    // 4. Main feeds and subfeeds have three poles and a sensible placement and position.
    void CheckFeedGeometry() {
        for (int p = 0; p < kPanelCount; ++p) {
            PanelRecord& panel = m_Config.m_Panels[p];
            const char letter = PanelLetter(p);
            SubfeedRecord& main = panel.m_MainFeed;
            if (main.m_Poles != 3 &&
                Minor(FormatStr("Panel %c: Main Feed pole count (was %d should be %d)\r\n", letter,
                                main.m_Poles, 3))) {
                main.m_Poles = 3;
                Corrected();
            }
            if (main.m_Placement != PLACEMENT_MAIN &&
                Minor(FormatStr("Panel %c: Main Feed placement (was %d should be %d)\r\n", letter,
                                main.m_Placement, 0))) {
                main.m_Placement = PLACEMENT_MAIN;
                Corrected();
            }
            if (main.m_Position != 1 &&
                Minor(FormatStr("Panel %c: Main Feed position (was %d should be %d)\r\n", letter,
                                main.m_Position, 1))) {
                main.m_Position = 1;
                Corrected();
            }
            for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
                SubfeedRecord& s = panel.m_Subfeeds[i];
                if (s.m_Poles != 3 &&
                    Minor(FormatStr("Panel %c: Subfeed '%s' pole count (was %d should be %d)\r\n",
                                    letter, s.m_Name, s.m_Poles, 3))) {
                    s.m_Poles = 3;
                    Corrected();
                }
                if (s.m_Placement != PLACEMENT_PANEL && s.m_Placement != PLACEMENT_AUX &&
                    Minor(FormatStr("Panel %c: Subfeed '%s' placement (was %d should be %d)\r\n",
                                    letter, s.m_Name, s.m_Placement, 2))) {
                    s.m_Placement = PLACEMENT_AUX;
                    Corrected();
                }
                const bool bad = s.m_Position == 0 ||
                                 (s.m_Placement == PLACEMENT_PANEL && s.m_Position > kPanelSlots) ||
                                 (s.m_Placement == PLACEMENT_AUX && s.m_Position > kAuxPositions);
                if (!bad) continue;
                if (s.m_Placement == PLACEMENT_PANEL) {
                    AddSerious(
                        FormatStr("Panel %c: Subfeed '%s' in Panel has invalid position (%d)\r\n",
                                  letter, s.m_Name, s.m_Position));
                } else if (s.m_Position > kAuxPositions) {
                    AddSerious(
                        FormatStr("Panel %c: Subfeed '%s' in Aux has invalid position (%d)\r\n",
                                  letter, s.m_Name, s.m_Position));
                } else if (Minor(FormatStr(
                               "Panel %c: Subfeed '%s' in Aux has an undefined position (%d)\r\n",
                               letter, s.m_Name, s.m_Position))) {
                    const uint16_t free = FreeAuxPosition(panel);
                    if (free != 0) {
                        s.m_Position = free;
                        Corrected();
                    }
                }
            }
        }
    }

    // 5. No panel slot and no auxiliary position may hold more than one pole.
    void CheckSlotOccupancy() {
        for (int p = 0; p < kPanelCount; ++p) {
            const PanelRecord& panel = m_Config.m_Panels[p];
            std::array<int, kPanelSlots + 1> slots{};
            std::array<int, kAuxPositions + 1> aux{};
            auto claim = [&](int position, int poles) {
                for (int s = position; s < position + poles && s <= kPanelSlots; ++s)
                    if (s >= 1) ++slots[s];
            };
            for (int i = 0; i < panel.UsedBreakers(); ++i)
                claim(panel.m_Breakers[i].m_Position, panel.m_Breakers[i].m_Poles);
            for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
                const SubfeedRecord& s = panel.m_Subfeeds[i];
                if (s.m_Placement == PLACEMENT_PANEL)
                    claim(s.m_Position, s.m_Poles);
                else if (s.m_Position >= 1 && s.m_Position <= kAuxPositions)
                    ++aux[s.m_Position];
            }
            const char letter = PanelLetter(p);
            for (int s = 1; s <= kPanelSlots; ++s)
                if (slots[s] > 1)
                    AddSerious(
                        FormatStr("Panel %c: Panel slot #%d has %d breakers mapped to it\r\n",
                                  letter, s, slots[s]));
            for (int a = 1; a <= kAuxPositions; ++a)
                if (aux[a] > 1)
                    AddSerious(FormatStr(
                        "Panel %c: Auxiliary position #%d has %d breakers mapped to it\r\n", letter,
                        a, aux[a]));
        }
    }

    // 6. Every pole is mapped to a channel, and no channel is used twice.
    void CheckChannelMapping() {
        std::array<int, kCtCount> uses{};
        auto count = [&](CtRef r) {
            if (IsChannel(r)) ++uses[r];
        };
        for (int p = 0; p < kPanelCount; ++p) {
            const PanelRecord& panel = m_Config.m_Panels[p];
            const char letter = PanelLetter(p);
            for (CtRef r : panel.m_MainFeed.m_Ct)
                count(r);
            for (int i = 0; i < panel.UsedBreakers(); ++i) {
                const BreakerRecord& b = panel.m_Breakers[i];
                for (int k = 0; k < BreakerRefCount(b); ++k) {
                    if (b.m_Ct[k] == CT_NONE)
                        AddSerious(
                            FormatStr("Panel %c: Breaker '%s' pole #%d is not mapped to any CT\r\n",
                                      letter, b.m_Name, k + 1));
                    else
                        count(b.m_Ct[k]);
                }
            }
            for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
                const SubfeedRecord& s = panel.m_Subfeeds[i];
                for (int k = 0; k < static_cast<int>(s.m_Ct.size()); ++k) {
                    if (s.m_Ct[k] != CT_NONE)
                        count(s.m_Ct[k]);
                    else if (k < s.m_Poles)
                        AddSerious(
                            FormatStr("Panel %c: Subfeed '%s' pole #%d is not mapped to any CT\r\n",
                                      letter, s.m_Name, k + 1));
                }
            }
        }
        for (int ref = 0; ref < kCtCount; ++ref)
            if (uses[ref] > 1)
                AddSerious(FormatStr("CT '%s' is used %d times\r\n", CtDisplayName(m_Config, ref),
                                     uses[ref]));
    }

    // The channel `ref` names, or null when it names none.
    CtRecord* Channel(CtRef ref) { return IsChannel(ref) ? &m_Config.m_Ct[ref] : nullptr; }

    // 7. Each current is measured against the voltage of its own phase.
    void CheckVoltageIndexes() {
        for (int p = 0; p < kPanelCount; ++p) {
            PanelRecord& panel = m_Config.m_Panels[p];
            if (!panel.m_Installed) continue;
            const char letter = PanelLetter(p);
            const int base = 3 * p;
            for (int s = 1; s <= 6; ++s) {
                CtRecord* ct = Channel(panel.m_MainFeed.m_Ct[s - 1]);
                const int expected = s <= 3 ? base + s - 1 : kNoVoltage;
                if (!ct || ct->m_VoltageIndex == expected) continue;
                if (Minor(FormatStr("Panel %c: Main breaker signal #%d has wrong voltage index (is "
                                    "%d, should be %d)\r\n",
                                    letter, s, ct->m_VoltageIndex, expected)))
                    SetVoltageIndex(*ct, expected);
            }
            for (int i = 0; i < panel.UsedBreakers(); ++i) {
                const BreakerRecord& b = panel.m_Breakers[i];
                for (int k = 0; k < BreakerRefCount(b); ++k) {
                    CtRecord* ct = Channel(b.m_Ct[k]);
                    const int expected = base + SlotPhase(b.m_Position + k);
                    if (!ct || ct->m_VoltageIndex == expected) continue;
                    if (Minor(FormatStr("Panel %c: Breaker '%s' pole #%d has wrong voltage index "
                                        "(is %d, should be %d)\r\n",
                                        letter, b.m_Name, k + 1, ct->m_VoltageIndex, expected)))
                        SetVoltageIndex(*ct, expected);
                }
            }
            for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
                const SubfeedRecord& sf = panel.m_Subfeeds[i];
                for (int s = 1; s <= 6; ++s) {
                    CtRecord* ct = Channel(sf.m_Ct[s - 1]);
                    int expected = kNoVoltage;
                    if (s <= 3)
                        expected = sf.m_Placement == PLACEMENT_AUX
                                       ? base + s - 1
                                       : base + SlotPhase(sf.m_Position + s - 1);
                    if (!ct || ct->m_VoltageIndex == expected) continue;
                    if (Minor(FormatStr("Panel %c: Subfeed '%s' signal #%d has wrong voltage "
                                        "index (is %d, should be %d)\r\n",
                                        letter, sf.m_Name, s, ct->m_VoltageIndex, expected)))
                        SetVoltageIndex(*ct, expected);
                }
            }
        }
    }

    void SetVoltageIndex(CtRecord& ct, int expected) {
        ct.m_VoltageIndex = static_cast<uint16_t>(expected);
        Corrected();
    }

    // 8. In odd/even panels nothing may span both columns.
    void CheckColumnSpans() {
        auto spans = [](int position, int poles) {
            return position < kSlotsPerColumn + 1 && position + poles > kSlotsPerColumn + 1;
        };
        for (int p = 0; p < kPanelCount; ++p) {
            const PanelRecord& panel = m_Config.m_Panels[p];
            if (!panel.m_Installed || panel.m_Layout != 1) continue;
            const char letter = PanelLetter(p);
            for (int i = 0; i < panel.UsedBreakers(); ++i) {
                const BreakerRecord& b = panel.m_Breakers[i];
                if (spans(b.m_Position, b.m_Poles))
                    AddSerious(
                        FormatStr("Panel %c: Breaker '%s' spans the left and right columns\r\n",
                                  letter, b.m_Name));
            }
            for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
                const SubfeedRecord& s = panel.m_Subfeeds[i];
                if (s.m_Placement == PLACEMENT_PANEL && spans(s.m_Position, s.m_Poles))
                    AddSerious(
                        FormatStr("Panel %c: Subfeed '%s' spans the left and right columns\r\n",
                                  letter, s.m_Name));
            }
        }
    }

    UnitConfig& m_Config;
    const bool m_Correct;
    int m_Result = 0;
    std::string m_Minor;
    std::string m_Serious;
};

}  // namespace

int ConfigCheck(UnitConfig& config, bool correct, std::string* minor, std::string* serious) {
    Checker checker(config, correct);
    const int result = checker.Run();
    if (minor) *minor = checker.MinorText();
    if (serious) *serious = checker.SeriousText();
    return result;
}

}  // namespace jvo
