#include "link/Readings.h"

#include <atomic>

#include "link/AppLog.h"

namespace jvo {

namespace {

void Get(MsgBuf& b, FlagTriple& t) {
    t.raw = b.Get8();
    t.filtered = b.Get8();
    t.latched = b.Get8();
}

void Put(MsgBuf& b, const FlagTriple& t) {
    b.Put8(t.raw);
    b.Put8(t.filtered);
    b.Put8(t.latched);
}

template <class Reading>
void GetCommon(MsgBuf& b, Reading& r) {
    r.m_Unshown = b.GetFloat();
    r.m_Load = b.GetFloat();
    r.m_Power = b.GetFloat();
    r.m_Va = b.GetFloat();
    r.m_Pf = b.GetFloat();
}

template <class Reading>
void PutCommon(MsgBuf& b, const Reading& r) {
    b.Put32(r.m_Unshown);
    b.Put32(r.m_Load);
    b.Put32(r.m_Power);
    b.Put32(r.m_Va);
    b.Put32(r.m_Pf);
}

}  // namespace

bool DecodeCtReading(MsgBuf& b, CtReading& r) {
    r.m_IRms = b.GetFloat();
    r.m_ICrest = b.GetFloat();
    r.m_IThd = b.GetFloat();
    r.m_Power = b.GetFloat();
    r.m_Va = b.GetFloat();
    r.m_Pf = b.GetFloat();
    return !b.Error();
}

bool EncodeCtReading(MsgBuf& b, const CtReading& r) {
    b.Put32(r.m_IRms);
    b.Put32(r.m_ICrest);
    b.Put32(r.m_IThd);
    b.Put32(r.m_Power);
    b.Put32(r.m_Va);
    b.Put32(r.m_Pf);
    return !b.Error();
}

bool DecodeBreakerReading(MsgBuf& b, BreakerReading& r) {
    GetCommon(b, r);
    Get(b, r.m_OcAlarm);
    Get(b, r.m_OcWarning);
    Get(b, r.m_UcAlarm);
    return !b.Error();
}

bool EncodeBreakerReading(MsgBuf& b, const BreakerReading& r) {
    PutCommon(b, r);
    Put(b, r.m_OcAlarm);
    Put(b, r.m_OcWarning);
    Put(b, r.m_UcAlarm);
    return !b.Error();
}

bool DecodeSubfeedReading(MsgBuf& b, SubfeedReading& r) {
    GetCommon(b, r);
    Get(b, r.m_OcAlarm);
    Get(b, r.m_OcWarning);
    Get(b, r.m_NeutralAlarm);
    Get(b, r.m_GroundAlarm);
    return !b.Error();
}

bool EncodeSubfeedReading(MsgBuf& b, const SubfeedReading& r) {
    PutCommon(b, r);
    Put(b, r.m_OcAlarm);
    Put(b, r.m_OcWarning);
    Put(b, r.m_NeutralAlarm);
    Put(b, r.m_GroundAlarm);
    return !b.Error();
}

bool DecodePanelReadings(MsgBuf& b, PanelReadingsReply& r) {
    r.m_Unshown = b.GetFloat();
    r.m_UnshownByte = b.Get8();
    for (PhaseVoltage& p : r.m_Phase) {
        p.m_Vln = b.GetFloat();
        p.m_Vll = b.GetFloat();
        p.m_Crest = b.GetFloat();
        p.m_Thd = b.GetFloat();
    }
    DecodeSubfeedReading(b, r.m_MainFeed);
    Get(b, r.m_PanelFlag);
    Get(b, r.m_OverVoltage);
    Get(b, r.m_UnderVoltage);
    for (FlagTriple& t : r.m_Further)
        Get(b, t);
    return !b.Error();
}

bool EncodePanelReadings(MsgBuf& b, const PanelReadingsReply& r) {
    b.Put32(r.m_Unshown);
    b.Put8(r.m_UnshownByte);
    for (const PhaseVoltage& p : r.m_Phase) {
        b.Put32(p.m_Vln);
        b.Put32(p.m_Vll);
        b.Put32(p.m_Crest);
        b.Put32(p.m_Thd);
    }
    EncodeSubfeedReading(b, r.m_MainFeed);
    Put(b, r.m_PanelFlag);
    Put(b, r.m_OverVoltage);
    Put(b, r.m_UnderVoltage);
    for (const FlagTriple& t : r.m_Further)
        Put(b, t);
    return !b.Error();
}

namespace {

// Reads `count` energy values and keeps at most `limit` of them; the rest are read past.
void GetEnergies(MsgBuf& b, uint16_t count, int limit, std::vector<float>& out) {
    out.assign(count < limit ? count : limit, 0.0f);
    for (uint16_t i = 0; i < count; ++i) {
        const float f = b.GetFloat();
        if (i < limit) out[i] = f;
    }
}

std::atomic<bool> g_OversizeEnergyLogged{false};

}  // namespace

bool DecodePanelEnergy(MsgBuf& b, PanelEnergy& r) {
    r.m_Main = b.GetFloat();
    const uint16_t n = b.Get16();
    GetEnergies(b, n, kMaxBreakers, r.m_Breakers);
    const uint16_t m = b.Get16();
    GetEnergies(b, m, kMaxSubfeeds, r.m_Subfeeds);
    if (b.Error()) return false;
    if ((n > kMaxBreakers || m > kMaxSubfeeds) && !g_OversizeEnergyLogged.exchange(true))
        JVO_LOG1("DecodePanelEnergy() Reply holds %u breaker and %u subfeed values; extra ignored",
                 static_cast<unsigned>(n), static_cast<unsigned>(m));
    return true;
}

bool EncodePanelEnergy(MsgBuf& b, const PanelEnergy& r) {
    b.Put32(r.m_Main);
    b.Put16(static_cast<uint16_t>(r.m_Breakers.size()));
    for (float f : r.m_Breakers)
        b.Put32(f);
    b.Put16(static_cast<uint16_t>(r.m_Subfeeds.size()));
    for (float f : r.m_Subfeeds)
        b.Put32(f);
    return !b.Error();
}

}  // namespace jvo
