#pragma once
// A small configuration with readings that every monitor model test shares: panel A with a main
// feed whose rating is 0, two breakers and one subfeed; panel B empty with nothing connected.
// Values are exact in binary so that the expected texts never depend on a rounding tie.
#include <cstdlib>
#include <ctime>
#include <string>

#include "monitor/ReadingsStore.h"
#include "tests/TestEnv.h"

namespace jvo::test {

inline void UseTimeZone(const char* tz) {
    SetEnvVar("TZ", tz);
    tzset();
}

inline UnitConfig FixtureConfig() {
    UnitConfig c;
    c.m_Unit.m_UnitName = "Unit.1 ";
    PanelRecord& a = c.m_Panels[0];
    a.m_PanelName = "Panel A";
    a.m_MainFeed.m_Rating = 0;
    a.m_MainFeed.m_Ct = {0, 1, CT_NONE, 2, CT_NONE, 3};
    a.m_BreakerCnt = 2;
    a.m_Breakers[0].m_Name = "Lights";
    a.m_Breakers[0].m_Poles = 2;
    a.m_Breakers[0].m_Rating = 20;
    a.m_Breakers[0].m_Ct = {4, 5, 6};
    a.m_Breakers[1].m_Name = "Pump \"P1\"";
    a.m_Breakers[1].m_Poles = 1;
    a.m_Breakers[1].m_Rating = 15;
    a.m_Breakers[1].m_Ct = {7, 4, 4};  // only the first counts for one pole
    a.m_SubfeedCnt = 1;
    a.m_Subfeeds[0].m_Name = "Sub, East";
    a.m_Subfeeds[0].m_Rating = 100;
    a.m_Subfeeds[0].m_Ct = {8, CT_NONE, CT_NONE, CT_NONE, 2, 0};
    PanelRecord& b = c.m_Panels[1];
    b.m_PanelName = "B";
    b.m_MainFeed.m_Rating = 100;
    return c;
}

inline ReadingsSnapshot FixtureReadings() {
    ReadingsStore store;
    store.SetCt(0, CtReading{12.5f, 1.5f, 0.125f, 2500, 3000, 0.75f});
    store.SetCt(1, CtReading{10, 1.25f, 0.5f, 500, 1000, 0.5f});
    store.SetCt(2, CtReading{1.5f, 0, 0, 0, 0, 0});
    store.SetCt(3, CtReading{0.5f, 0, 0, 0, 0, 0});
    store.SetCt(4, CtReading{9.99999f, 0, 0, 0, 0, 0});
    store.SetCt(5, CtReading{100, 0, 0, 0, 0, 0});
    store.SetCt(6, CtReading{20000, 0, 0, 0, 0, 0});
    store.SetCt(7, CtReading{1234.5f, 0, 0, 0, 0, 0});
    store.SetCt(8, CtReading{0.5f, 0, 0, 0, 0, 0});

    PanelReadingsReply r;
    r.m_Phase[0] = PhaseVoltage{120, 208, 1.5f, 0.25f};
    r.m_Phase[1] = PhaseVoltage{9.5f, 16.5f, 1.25f, 0.5f};
    r.m_MainFeed.m_Power = 3000;
    r.m_MainFeed.m_Va = 4000;
    r.m_MainFeed.m_Pf = 0.75f;
    store.SetPanelReadings(0, r);

    BreakerReading lights;
    lights.m_Load = 50;
    lights.m_Power = 1200;
    lights.m_Va = 1300;
    lights.m_Pf = 0.9f;
    store.SetBreaker(0, 0, lights);
    BreakerReading pump;
    pump.m_Load = 0.04f;  // exactly the idle threshold
    store.SetBreaker(0, 1, pump);
    SubfeedReading sub;
    sub.m_Load = 25;
    sub.m_Power = 2500;
    sub.m_Va = 2600;
    sub.m_Pf = 0.96f;
    store.SetSubfeed(0, 0, sub);

    PanelEnergy e;
    e.m_Main = 12.345f;
    e.m_Breakers = {1.5f, 0};
    e.m_Subfeeds = {100.25f};
    store.SetPanelEnergy(0, e);
    return store.Snapshot();
}

}  // namespace jvo::test
