#pragma once
// Configurations and file helpers shared by the configuration and jvoctl tests.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "config/UnitConfig.h"
#include "tests/TestEnv.h"

namespace jvo::test {

// A fresh directory under $JVO_TEST_TMP (or /tmp), removed with everything in it.
class TempDir {
public:
    TempDir() : m_Path(MakeUniqueDir(TestTmpRoot(), "jvo-config")) {}
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (!m_Path.empty()) std::filesystem::remove_all(m_Path, ec);
    }
    bool Ok() const { return !m_Path.empty(); }
    const std::string& Path() const { return m_Path; }
    std::string File(const std::string& name) const { return m_Path + "/" + name; }
    // Names of the entries in the directory.
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(m_Path, ec))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::string m_Path;
};

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Two installed odd/even panels with PBVI main boards and normal module boards, every signal
// path and voltage index right: the check finds nothing. Per panel (B = 3 * panel):
//   main feed on Panel X/Y/Z/N/G;
//   breaker "BR1" slot 1, 1 pole, Module 1; "BR22" slot 22, 3 poles, Modules 22..24;
//   "BR2" slot 2, 2 poles, Modules 2..3 (stored in displayed order 1, 2, 3);
//   subfeed "SF-P" in the panel at slot 5 on Modules 5..7 with neutral on Large 6;
//   subfeed "SF-AUX" at auxiliary position 1 on Large 1..3, neutral Large 4, ground Large 5.
inline UnitConfig MakeValidConfig() {
    UnitConfig c;
    c.m_Unit.m_UnitName = "Unit";
    c.m_Unit.m_UnitAddr = 2;
    for (int p = 0; p < kPanelCount; ++p) {
        const CtRef o = static_cast<CtRef>(p * kCtPerPanel);
        const uint16_t base = static_cast<uint16_t>(3 * p);
        PanelRecord& panel = c.m_Panels[p];
        panel.m_PanelName = p == 0 ? "Panel One" : "Panel Two";
        panel.m_Installed = 1;
        panel.m_Layout = 1;
        panel.m_Boards = {0, 0, 0};
        SubfeedRecord& main = panel.m_MainFeed;
        main.m_Name = "MAIN";
        main.m_Rating = 400;
        main.m_Placement = PLACEMENT_MAIN;
        main.m_Position = 1;
        main.m_Poles = 3;
        main.m_Ct = {o,
                     static_cast<CtRef>(o + 1),
                     static_cast<CtRef>(o + 2),
                     static_cast<CtRef>(o + 3),
                     static_cast<CtRef>(o + 4),
                     CT_NONE};

        auto breaker = [&](int i, const char* name, uint16_t slot, uint16_t poles) {
            BreakerRecord& b = panel.m_Breakers[i];
            b.m_Name = name;
            b.m_Rating = 20;
            b.m_Position = slot;
            b.m_Poles = poles;
            for (int k = 0; k < poles; ++k)
                b.m_Ct[k] = static_cast<CtRef>(o + 4 + slot + k);
        };
        breaker(0, "BR1", 1, 1);
        breaker(1, "BR22", 22, 3);
        breaker(2, "BR2", 2, 2);
        panel.m_BreakerCnt = 3;

        SubfeedRecord& sp = panel.m_Subfeeds[0];
        sp.m_Name = "SF-P";
        sp.m_Rating = 100;
        sp.m_Placement = PLACEMENT_PANEL;
        sp.m_Position = 5;
        sp.m_Poles = 3;
        sp.m_Ct = {static_cast<CtRef>(o + 9),
                   static_cast<CtRef>(o + 10),
                   static_cast<CtRef>(o + 11),
                   static_cast<CtRef>(o + 52),
                   CT_NONE,
                   CT_NONE};
        SubfeedRecord& sa = panel.m_Subfeeds[1];
        sa.m_Name = "SF-AUX";
        sa.m_Rating = 225;
        sa.m_Placement = PLACEMENT_AUX;
        sa.m_Position = 1;
        sa.m_Poles = 3;
        sa.m_Ct = {static_cast<CtRef>(o + 47), static_cast<CtRef>(o + 48),
                   static_cast<CtRef>(o + 49), static_cast<CtRef>(o + 50),
                   static_cast<CtRef>(o + 51), CT_NONE};
        panel.m_SubfeedCnt = 2;

        for (int local = 0; local < kCtPerPanel; ++local) {
            CtRecord& ct = c.m_Ct[o + local];
            ct.m_Primary = 100;
            ct.m_Secondary = 5;
            if (local <= 2)
                ct.m_SignalPath = 0;
            else if (local == 3)
                ct.m_SignalPath = 1;
            else if (local == 4)
                ct.m_SignalPath = 2;
            else if (local <= 46)
                ct.m_SignalPath = 10;
            else if (local <= 55)
                ct.m_SignalPath = 3;
            else
                ct.m_SignalPath = 11;
            ct.m_VoltageIndex = 7;
        }
        auto vi = [&](int local, int phase) {
            c.m_Ct[o + local].m_VoltageIndex = static_cast<uint16_t>(base + phase);
        };
        vi(0, 0), vi(1, 1), vi(2, 2);     // main feed X Y Z
        vi(5, 0);                         // BR1, slot 1
        vi(26, 0), vi(27, 1), vi(28, 2);  // BR22, slots 22..24
        vi(6, 1), vi(7, 2);               // BR2, slots 2..3
        vi(9, 1), vi(10, 2), vi(11, 0);   // SF-P, slots 5..7
        vi(47, 0), vi(48, 1), vi(49, 2);  // SF-AUX phases
    }
    return c;
}

// Random text of up to `maxLength` bytes of any value, without trailing white space (the codec
// removes it on reading).
inline std::string RandomText(std::mt19937& rng, size_t maxLength) {
    std::uniform_int_distribution<size_t> len(0, maxLength);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(len(rng), '\0');
    for (char& ch : s)
        ch = static_cast<char>(byte(rng));
    while (!s.empty() && std::strchr(" \t\r\n\v\f", s.back()) && s.back() != '\0')
        s.pop_back();
    return s;
}

inline float RandomFloatBits(std::mt19937& rng) {
    const uint32_t bits = static_cast<uint32_t>(rng());
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Every field of every entry random, counts within the tables.
inline UnitConfig RandomConfig(std::mt19937& rng) {
    auto u16 = [&] { return static_cast<uint16_t>(rng()); };
    auto u8 = [&] { return static_cast<uint8_t>(rng() & 1); };
    UnitConfig c;
    c.m_Unit.m_UnitName = RandomText(rng, 40);
    c.m_Unit.m_UnitAddr = u16();
    c.m_Unit.m_CrossConfig = u8();
    c.m_Unit.m_AdcFactor = RandomFloatBits(rng);
    c.m_Unit.m_VScaleFactor = RandomFloatBits(rng);
    for (float& f : c.m_Unit.m_IScaleFactor)
        f = RandomFloatBits(rng);
    c.m_Unit.m_IGainFactor = RandomFloatBits(rng);
    auto subfeed = [&](SubfeedRecord& s) {
        s.m_Name = RandomText(rng, 40);
        for (uint16_t* f : {&s.m_Rating, &s.m_Placement, &s.m_Position, &s.m_Poles, &s.m_OcAlarm,
                            &s.m_OcWarning, &s.m_NeutralAlarm, &s.m_GroundAlarm, &s.m_Hysteresis})
            *f = u16();
        for (CtRef& r : s.m_Ct)
            r = u16();
    };
    for (PanelRecord& p : c.m_Panels) {
        p.m_PanelName = RandomText(rng, 40);
        p.m_Password1 = RandomText(rng, 12);
        p.m_Password2 = RandomText(rng, 12);
        p.m_Installed = u8();
        for (uint16_t* f :
             {&p.m_Layout, &p.m_PanelSize, &p.m_RatedBy, &p.m_KvaRating, &p.m_Boards[0],
              &p.m_Boards[1], &p.m_Boards[2], &p.m_Reserved2, &p.m_Reserved3, &p.m_Reserved4,
              &p.m_Reserved5, &p.m_MainVoltageRating, &p.m_OverVoltageSetpoint,
              &p.m_UnderVoltageSetpoint, &p.m_NominalFrequency, &p.m_OverFrequencySetpoint,
              &p.m_UnderFrequencySetpoint, &p.m_HysteresisInterval})
            *f = u16();
        p.m_BreakerCnt = static_cast<uint16_t>(rng() % (kMaxBreakers + 1));
        p.m_SubfeedCnt = static_cast<uint16_t>(rng() % (kMaxSubfeeds + 1));
        subfeed(p.m_MainFeed);
        for (BreakerRecord& b : p.m_Breakers) {
            b.m_Name = RandomText(rng, 40);
            for (uint16_t* f : {&b.m_Rating, &b.m_Position, &b.m_Poles, &b.m_OcAlarm,
                                &b.m_OcWarning, &b.m_UcAlarm, &b.m_Hysteresis})
                *f = u16();
            for (CtRef& r : b.m_Ct)
                r = u16();
        }
        for (SubfeedRecord& s : p.m_Subfeeds)
            subfeed(s);
    }
    for (CtRecord& ct : c.m_Ct) {
        for (uint16_t* f :
             {&ct.m_Primary, &ct.m_Secondary, &ct.m_VoltageIndex, &ct.m_SignalPath, &ct.m_Option})
            *f = u16();
        ct.m_ChannelAmps = RandomFloatBits(rng);
    }
    return c;
}

}  // namespace jvo::test
