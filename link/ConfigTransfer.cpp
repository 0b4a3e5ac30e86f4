#include "link/ConfigTransfer.h"

namespace jvo {

namespace {

template <class Fn>
bool Try(int attempts, Fn&& fn) {
    for (int i = 0; i < attempts; ++i)
        if (fn()) return true;
    return false;
}

class Position {
public:
    explicit Position(IProgress* p) : m_Progress(p) {}
    void Range(int upper) {
        if (m_Progress) m_Progress->ProgressRange(upper);
    }
    void Advance() {
        ++m_Pos;
        if (m_Progress) m_Progress->ProgressPos(m_Pos);
    }
    void Start() {
        if (m_Progress) m_Progress->ProgressPos(0);
    }

private:
    IProgress* m_Progress;
    int m_Pos = 0;
};

constexpr int kFullRange = 1 + kPanelCount * (1 + kMaxBreakers + kMaxSubfeeds) + kCtCount;  // 237

}  // namespace

bool ReadConfig(UnitClient& client, UnitConfig& config, int sel, int attempts,
                IProgress* progress) {
    if (sel < 0 || sel > 1 || attempts < 1 || attempts > 100) return false;
    const uint8_t s = static_cast<uint8_t>(sel);
    Position pos(progress);
    int end = kFullRange;
    pos.Range(end);
    pos.Start();
    if (!Try(attempts, [&] { return client.GetUnitRecord(s, config.m_Unit); })) return false;
    pos.Advance();
    for (int p = 0; p < kPanelCount; ++p) {
        PanelRecord& panel = config.m_Panels[p];
        const uint8_t pn = static_cast<uint8_t>(p);
        if (!Try(attempts, [&] { return client.GetPanelRecord(s, pn, panel); })) return false;
        end += panel.m_BreakerCnt + panel.m_SubfeedCnt - (kMaxBreakers + kMaxSubfeeds);
        pos.Range(end);
        pos.Advance();
        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            const uint8_t bi = static_cast<uint8_t>(i);
            if (!Try(attempts,
                     [&] { return client.GetBreakerRecord(s, pn, bi, panel.m_Breakers[i]); }))
                return false;
            pos.Advance();
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const uint8_t si = static_cast<uint8_t>(i);
            if (!Try(attempts,
                     [&] { return client.GetSubfeedRecord(s, pn, si, panel.m_Subfeeds[i]); }))
                return false;
            pos.Advance();
        }
    }
    for (int c = 0; c < kCtCount; ++c) {
        const uint8_t ci = static_cast<uint8_t>(c);
        if (!Try(attempts, [&] { return client.GetCtRecord(s, ci, config.m_Ct[c]); })) return false;
        pos.Advance();
    }
    return true;
}

bool WriteConfig(UnitClient& client, const UnitConfig& config, int attempts, IProgress* progress) {
    if (attempts < 1 || attempts > 100) return false;
    Position pos(progress);
    int total = 1 + kPanelCount + kCtCount;
    for (const PanelRecord& p : config.m_Panels)
        total += p.UsedBreakers() + p.UsedSubfeeds();
    pos.Range(total);
    pos.Start();
    if (!Try(attempts, [&] { return client.SetUnitRecord(config.m_Unit); })) return false;
    pos.Advance();
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = config.m_Panels[p];
        const uint8_t pn = static_cast<uint8_t>(p);
        if (!Try(attempts, [&] { return client.SetPanelRecord(pn, panel); })) return false;
        pos.Advance();
        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            const uint8_t bi = static_cast<uint8_t>(i);
            if (!Try(attempts,
                     [&] { return client.SetBreakerRecord(pn, bi, panel.m_Breakers[i]); }))
                return false;
            pos.Advance();
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const uint8_t si = static_cast<uint8_t>(i);
            if (!Try(attempts,
                     [&] { return client.SetSubfeedRecord(pn, si, panel.m_Subfeeds[i]); }))
                return false;
            pos.Advance();
        }
    }
    for (int c = 0; c < kCtCount; ++c) {
        const uint8_t ci = static_cast<uint8_t>(c);
        if (!Try(attempts, [&] { return client.SetCtRecord(ci, config.m_Ct[c]); })) return false;
        pos.Advance();
    }
    return true;
}

}  // namespace jvo
