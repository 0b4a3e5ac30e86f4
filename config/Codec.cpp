#include "config/Codec.h"

namespace jvo {

namespace {

bool KnownSchema(int schema) {
    return schema == 3 || schema == 4;
}

// The twenty contiguous 16-bit panel fields, in their wire order.
template <class Panel, class Fn>
void PanelWords(Panel& p, Fn&& fn) {
    fn(p.m_Layout);
    fn(p.m_PanelSize);
    fn(p.m_RatedBy);
    fn(p.m_KvaRating);
    fn(p.m_Boards[0]);
    fn(p.m_Boards[1]);
    fn(p.m_Boards[2]);
    fn(p.m_Reserved2);
    fn(p.m_Reserved3);
    fn(p.m_Reserved4);
    fn(p.m_Reserved5);
    fn(p.m_BreakerCnt);
    fn(p.m_SubfeedCnt);
    fn(p.m_MainVoltageRating);
    fn(p.m_OverVoltageSetpoint);
    fn(p.m_UnderVoltageSetpoint);
    fn(p.m_NominalFrequency);
    fn(p.m_OverFrequencySetpoint);
    fn(p.m_UnderFrequencySetpoint);
    fn(p.m_HysteresisInterval);
}

// Schema 3 panel record: fourteen 16-bit fields. They are mapped onto the first fourteen of the
// schema-4 fields (layout .. m_MainVoltageRating): the schema-3 unit had no frequency setpoints.
constexpr int kSchema3PanelWords = 14;

// Schema 3 subfeed record: thirteen 16-bit fields after the name; the schema-4 order of the ten
// numbers and six channels, less the last three channel references.
constexpr int kSchema3SubfeedCts = 3;

}  // namespace

bool EncodeUnit(int schema, MsgBuf& buf, const UnitRecord& rec) {
    if (!KnownSchema(schema)) return false;
    buf.PutString(rec.m_UnitName);
    buf.Put16(rec.m_UnitAddr);
    if (schema == 4) buf.Put8(rec.m_CrossConfig);
    buf.Put32(rec.m_AdcFactor);
    buf.Put32(rec.m_VScaleFactor);
    for (float f : rec.m_IScaleFactor)
        buf.Put32(f);
    buf.Put32(rec.m_IGainFactor);
    return !buf.Error();
}

bool DecodeUnit(int schema, MsgBuf& buf, UnitRecord& rec) {
    if (!KnownSchema(schema)) return false;
    rec.m_UnitName = buf.GetString();
    rec.m_UnitAddr = buf.Get16();
    rec.m_CrossConfig = schema == 4 ? (buf.GetBool() ? 1 : 0) : 0;
    rec.m_AdcFactor = buf.GetFloat();
    rec.m_VScaleFactor = buf.GetFloat();
    for (float& f : rec.m_IScaleFactor)
        f = buf.GetFloat();
    rec.m_IGainFactor = buf.GetFloat();
    return !buf.Error();
}

bool EncodeSubfeed(int schema, MsgBuf& buf, const SubfeedRecord& rec) {
    if (!KnownSchema(schema)) return false;
    buf.PutString(rec.m_Name);
    buf.Put16(rec.m_Rating);
    buf.Put16(rec.m_Position);
    buf.Put16(rec.m_Poles);
    buf.Put16(rec.m_Placement);
    buf.Put16(rec.m_OcAlarm);
    buf.Put16(rec.m_OcWarning);
    buf.Put16(rec.m_NeutralAlarm);
    buf.Put16(rec.m_GroundAlarm);
    buf.Put16(rec.m_Hysteresis);
    const int cts = schema == 4 ? 6 : kSchema3SubfeedCts;
    for (int i = 0; i < cts; ++i)
        buf.Put16(rec.m_Ct[i]);
    return !buf.Error();
}

bool DecodeSubfeed(int schema, MsgBuf& buf, SubfeedRecord& rec) {
    if (!KnownSchema(schema)) return false;
    rec.m_Name = buf.GetString();
    rec.m_Rating = buf.Get16();
    rec.m_Position = buf.Get16();
    rec.m_Poles = buf.Get16();
    rec.m_Placement = buf.Get16();
    rec.m_OcAlarm = buf.Get16();
    rec.m_OcWarning = buf.Get16();
    rec.m_NeutralAlarm = buf.Get16();
    rec.m_GroundAlarm = buf.Get16();
    rec.m_Hysteresis = buf.Get16();
    const int cts = schema == 4 ? 6 : kSchema3SubfeedCts;
    for (int i = 0; i < 6; ++i)
        rec.m_Ct[i] = i < cts ? buf.Get16() : CT_NONE;
    return !buf.Error();
}

bool EncodePanel(int schema, MsgBuf& buf, const PanelRecord& rec) {
    if (!KnownSchema(schema)) return false;
    buf.PutString(rec.m_PanelName);
    buf.PutString(rec.m_Password1);
    buf.PutString(rec.m_Password2);
    if (schema == 4) buf.Put8(rec.m_Installed);
    int words = 0;
    const int limit = schema == 4 ? 20 : kSchema3PanelWords;
    PanelWords(rec, [&](uint16_t v) {
        if (words++ < limit) buf.Put16(v);
    });
    return EncodeSubfeed(schema, buf, rec.m_MainFeed);
}

bool DecodePanel(int schema, MsgBuf& buf, PanelRecord& rec) {
    if (!KnownSchema(schema)) return false;
    rec.m_PanelName = buf.GetString();
    rec.m_Password1 = buf.GetString();
    rec.m_Password2 = buf.GetString();
    rec.m_Installed = schema == 4 ? (buf.GetBool() ? 1 : 0) : 1;
    int words = 0;
    const int limit = schema == 4 ? 20 : kSchema3PanelWords;
    PanelWords(rec, [&](uint16_t& v) { v = words++ < limit ? buf.Get16() : 0; });
    if (!DecodeSubfeed(schema, buf, rec.m_MainFeed)) return false;
    // Later code relies on the counts fitting the tables.
    return rec.m_BreakerCnt <= kMaxBreakers && rec.m_SubfeedCnt <= kMaxSubfeeds;
}

bool EncodeBreaker(int schema, MsgBuf& buf, const BreakerRecord& rec) {
    if (!KnownSchema(schema)) return false;
    buf.PutString(rec.m_Name);
    buf.Put16(rec.m_Rating);
    buf.Put16(rec.m_Position);
    buf.Put16(rec.m_Poles);
    for (CtRef r : rec.m_Ct)
        buf.Put16(r);
    buf.Put16(rec.m_OcAlarm);
    buf.Put16(rec.m_OcWarning);
    buf.Put16(rec.m_UcAlarm);
    buf.Put16(rec.m_Hysteresis);
    return !buf.Error();
}

bool DecodeBreaker(int schema, MsgBuf& buf, BreakerRecord& rec) {
    if (!KnownSchema(schema)) return false;
    rec.m_Name = buf.GetString();
    rec.m_Rating = buf.Get16();
    rec.m_Position = buf.Get16();
    rec.m_Poles = buf.Get16();
    for (CtRef& r : rec.m_Ct)
        r = buf.Get16();
    rec.m_OcAlarm = buf.Get16();
    rec.m_OcWarning = buf.Get16();
    rec.m_UcAlarm = buf.Get16();
    rec.m_Hysteresis = buf.Get16();
    return !buf.Error();
}

bool EncodeCt(int schema, MsgBuf& buf, const CtRecord& rec) {
    if (!KnownSchema(schema)) return false;
    buf.Put16(rec.m_Primary);
    buf.Put16(rec.m_Secondary);
    buf.Put16(rec.m_VoltageIndex);
    buf.Put16(rec.m_SignalPath);
    buf.Put16(rec.m_Option);
    buf.Put32(rec.m_ChannelAmps);
    return !buf.Error();
}

bool DecodeCt(int schema, MsgBuf& buf, CtRecord& rec) {
    if (!KnownSchema(schema)) return false;
    rec.m_Primary = buf.Get16();
    rec.m_Secondary = buf.Get16();
    rec.m_VoltageIndex = buf.Get16();
    rec.m_SignalPath = buf.Get16();
    rec.m_Option = buf.Get16();
    rec.m_ChannelAmps = buf.GetFloat();
    return !buf.Error();
}

}  // namespace jvo
