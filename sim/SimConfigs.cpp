#include "sim/SimConfigs.h"

#include <cstdio>

namespace jvo::sim {

namespace {

constexpr uint16_t kVoltageNone = 7;

// Channel number of a panel's local channel.
CtRef Ch(int panel, int local) {
    return static_cast<CtRef>(panel * kCtPerPanel + local);
}

// Sets up a panel with PBVI main board (A-side for A, B-side for B), normal module connectors,
// the signal paths those boards expect and a main feed on the panel's X, Y, Z, N, G inputs.
void SetUpPanel(UnitConfig& c, int p, const char* name, uint16_t layout) {
    PanelRecord& panel = c.m_Panels[p];
    panel.m_PanelName = name;
    panel.m_Password1 = "1234";
    panel.m_Password2 = "";
    panel.m_Installed = 1;
    panel.m_Layout = layout;
    panel.m_PanelSize = 42;
    panel.m_RatedBy = 1;
    panel.m_KvaRating = 150;
    panel.m_Boards = {static_cast<uint16_t>(p == 0 ? 0 : 1), 0, 0};
    panel.m_MainVoltageRating = 208;
    panel.m_OverVoltageSetpoint = 110;
    panel.m_UnderVoltageSetpoint = 90;
    panel.m_NominalFrequency = 60;
    panel.m_OverFrequencySetpoint = 62;
    panel.m_UnderFrequencySetpoint = 58;
    panel.m_HysteresisInterval = 5;

    SubfeedRecord& main = panel.m_MainFeed;
    main.m_Name = p == 0 ? "MAIN A" : "MAIN B";
    main.m_Rating = 400;
    main.m_Placement = PLACEMENT_MAIN;
    main.m_Position = 1;
    main.m_Poles = 3;
    main.m_OcAlarm = 80;
    main.m_OcWarning = 70;
    main.m_NeutralAlarm = 95;
    main.m_GroundAlarm = 5;
    main.m_Hysteresis = 5;
    for (int s = 0; s < 5; ++s)
        main.m_Ct[s] = Ch(p, s);
    main.m_Ct[5] = CT_NONE;

    const uint16_t base = static_cast<uint16_t>(3 * p);
    for (int local = 0; local < kCtPerPanel; ++local) {
        CtRecord& ct = c.m_Ct[Ch(p, local)];
        ct.m_VoltageIndex = kVoltageNone;
        ct.m_Secondary = 1;
        if (local <= 2) {
            ct.m_SignalPath = 0;
            ct.m_Primary = 400;
            ct.m_VoltageIndex = static_cast<uint16_t>(base + local);
        } else if (local == 3) {
            ct.m_SignalPath = 1;
            ct.m_Primary = 400;
        } else if (local == 4) {
            ct.m_SignalPath = 2;
            ct.m_Primary = 100;
        } else if (local <= 46) {
            ct.m_SignalPath = 10;
            ct.m_Primary = 100;
        } else if (local <= 55) {
            ct.m_SignalPath = 3;
            ct.m_Primary = 200;
        } else {
            ct.m_SignalPath = 11;
            ct.m_Primary = 100;
        }
        ct.m_ChannelAmps = 0.0f;
    }
}

// Displayed number of internal slot n.
int Display(const PanelRecord& panel, int n) {
    if (panel.m_Layout == 0) return n;
    return n < 22 ? 2 * n - 1 : 2 * n - 42;
}

void AddBreaker(UnitConfig& c, int p, int slot, int poles, uint16_t rating, const char* label) {
    PanelRecord& panel = c.m_Panels[p];
    BreakerRecord& b = panel.m_Breakers[panel.m_BreakerCnt++];
    char name[40];
    std::snprintf(name, sizeof name, "%s %02d", label, Display(panel, slot));
    b.m_Name = name;
    b.m_Rating = rating;
    b.m_Position = static_cast<uint16_t>(slot);
    b.m_Poles = static_cast<uint16_t>(poles);
    b.m_OcAlarm = 80;
    b.m_OcWarning = 75;
    b.m_UcAlarm = 0;
    b.m_Hysteresis = 5;
    for (int k = 0; k < poles; ++k) {
        const int t = slot - 1 + k;  // module channel of the pole's slot
        b.m_Ct[k] = Ch(p, 5 + t);
        c.m_Ct[b.m_Ct[k]].m_VoltageIndex = static_cast<uint16_t>(3 * p + (slot + k - 1) % 3);
    }
}

// An auxiliary subfeed on the panel's Large 1..5 channels.
void AddAuxSubfeed(UnitConfig& c, int p, const char* name) {
    PanelRecord& panel = c.m_Panels[p];
    SubfeedRecord& s = panel.m_Subfeeds[panel.m_SubfeedCnt++];
    s.m_Name = name;
    s.m_Rating = 100;
    s.m_Placement = PLACEMENT_AUX;
    s.m_Position = 1;
    s.m_Poles = 3;
    s.m_OcAlarm = 80;
    s.m_OcWarning = 70;
    s.m_NeutralAlarm = 95;
    s.m_GroundAlarm = 5;
    s.m_Hysteresis = 5;
    for (int j = 0; j < 5; ++j) {
        s.m_Ct[j] = Ch(p, 47 + j);
        c.m_Ct[s.m_Ct[j]].m_VoltageIndex = j < 3 ? static_cast<uint16_t>(3 * p + j) : kVoltageNone;
        c.m_Ct[s.m_Ct[j]].m_Primary = j == 3 ? 200 : 100;
        c.m_Ct[s.m_Ct[j]].m_ChannelAmps = j == 4 ? 0.25f : (j == 3 ? 1.75f : 1.0f);
    }
}

}  // namespace

UnitConfig MakeFactoryConfig() {
    UnitConfig c;
    c.m_Unit.m_UnitName = "JVO UNIT";
    c.m_Unit.m_UnitAddr = 0;
    c.m_Unit.m_AdcFactor = 1.0f;
    c.m_Unit.m_VScaleFactor = 1.0f;
    for (float& f : c.m_Unit.m_IScaleFactor)
        f = 1.0f;
    c.m_Unit.m_IGainFactor = 1.0f;
    SetUpPanel(c, 0, "PANEL A", 1);
    SetUpPanel(c, 1, "PANEL B", 1);
    return c;
}

UnitConfig MakeDemoConfig() {
    UnitConfig c = MakeFactoryConfig();
    c.m_Unit.m_UnitName = "CABINET 3 WEST";
    c.m_Unit.m_UnitAddr = 0;
    c.m_Panels[0].m_PanelName = "PDU-3A";
    c.m_Panels[1].m_PanelName = "PDU-3B";
    c.m_Panels[1].m_Layout = 0;

    // Panel A, odd/even numbering: breakers in both columns, none spanning them.
    const struct {
        int slot, poles;
        uint16_t rating;
        const char* label;
    } a[] = {{1, 3, 30, "RACK A1"},   {4, 2, 20, "RACK A2"},   {6, 1, 20, "LIGHTS"},
             {7, 3, 40, "CRAC 1"},    {10, 1, 15, "OUTLET"},   {11, 2, 30, "RACK A3"},
             {13, 3, 50, "UPS BYP"},  {19, 1, 20, "SPARE"},    {22, 3, 30, "RACK A4"},
             {25, 2, 20, "RACK A5"},  {28, 1, 20, "SECURITY"}, {29, 3, 60, "CHILLER"},
             {34, 1, 15, "FIRE PNL"}, {36, 2, 30, "RACK A6"}};
    for (const auto& b : a)
        AddBreaker(c, 0, b.slot, b.poles, b.rating, b.label);

    // Panel B, sequential numbering.
    const struct {
        int slot, poles;
        uint16_t rating;
        const char* label;
    } bb[] = {{1, 2, 20, "RACK B1"},  {3, 3, 30, "RACK B2"}, {6, 1, 20, "LIGHTS"},
              {7, 1, 15, "OUTLET"},   {8, 3, 40, "CRAC 2"},  {11, 2, 30, "RACK B3"},
              {14, 3, 50, "PUMP"},    {17, 1, 20, "BMS"},    {20, 3, 30, "RACK B4"},
              {23, 2, 20, "RACK B5"}, {25, 1, 20, "CAMERA"}, {27, 3, 60, "AHU"},
              {31, 1, 15, "DOOR"},    {33, 2, 30, "RACK B6"}};
    for (const auto& b : bb)
        AddBreaker(c, 1, b.slot, b.poles, b.rating, b.label);

    AddAuxSubfeed(c, 0, "SUBFEED #01");
    AddAuxSubfeed(c, 1, "SUBFEED #01");
    return c;
}

}  // namespace jvo::sim
