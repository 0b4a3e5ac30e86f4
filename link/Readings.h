#pragma once
// Reading and event records carried in the unit's replies: the CT, breaker, subfeed and panel
// readings, the panel energy reply and the event log records. Each is read from (and, for the
// simulated unit, written to) a reply payload after its leading 'd' byte, field by field in offset
// order, little-endian.
#include <array>
#include <cstdint>
#include <vector>

#include "base/MsgBuf.h"
#include "config/UnitConfig.h"

namespace jvo {

// A flag as the unit reports it: raw, filtered (held for the hysteresis interval) and latched.
struct FlagTriple {
    uint8_t raw = 0;
    uint8_t filtered = 0;
    uint8_t latched = 0;
    bool operator==(const FlagTriple&) const = default;
    // The byte of the triple selected by an alarm mode: 0 raw, 1 filtered, 2 latched.
    uint8_t ByMode(int mode) const { return mode == 0 ? raw : mode == 1 ? filtered : latched; }
};

struct CtReading {  // 24 bytes
    float m_IRms = 0;
    float m_ICrest = 0;
    float m_IThd = 0;
    float m_Power = 0;
    float m_Va = 0;
    float m_Pf = 0;
    bool operator==(const CtReading&) const = default;
};

struct BreakerReading {  // 29 bytes
    float m_Unshown = 0;
    float m_Load = 0;
    float m_Power = 0;
    float m_Va = 0;
    float m_Pf = 0;
    FlagTriple m_OcAlarm;
    FlagTriple m_OcWarning;
    FlagTriple m_UcAlarm;
    bool operator==(const BreakerReading&) const = default;
};

struct SubfeedReading {  // 32 bytes; also the main feed inside the panel readings
    float m_Unshown = 0;
    float m_Load = 0;
    float m_Power = 0;
    float m_Va = 0;
    float m_Pf = 0;
    FlagTriple m_OcAlarm;
    FlagTriple m_OcWarning;
    FlagTriple m_NeutralAlarm;
    FlagTriple m_GroundAlarm;
    bool operator==(const SubfeedReading&) const = default;
};

struct PhaseVoltage {
    float m_Vln = 0;
    float m_Vll = 0;
    float m_Crest = 0;
    float m_Thd = 0;
    bool operator==(const PhaseVoltage&) const = default;
};

struct PanelReadingsReply {  // 100 bytes
    float m_Unshown = 0;
    uint8_t m_UnshownByte = 0;
    std::array<PhaseVoltage, 3> m_Phase{};
    SubfeedReading m_MainFeed;
    FlagTriple m_PanelFlag;  // only the raw byte is shown
    FlagTriple m_OverVoltage;
    FlagTriple m_UnderVoltage;
    std::array<FlagTriple, 2> m_Further{};
    bool operator==(const PanelReadingsReply&) const = default;
};

struct PanelEnergy {
    float m_Main = 0;
    std::vector<float> m_Breakers;  // as many as the unit sent
    std::vector<float> m_Subfeeds;
    bool operator==(const PanelEnergy&) const = default;
};

// One event as read with GetEvent.
struct EventRecord {
    uint16_t m_Index = 0;
    uint16_t m_Id = 0;
    int64_t m_Time = 0;  // seconds since 1970-01-01 UTC, widened with a zero high half
    uint16_t m_Param1 = 0;
    uint16_t m_Param2 = 0;
    bool operator==(const EventRecord&) const = default;
};

// Decoders return true when the buffer's error flag is clear afterwards.
bool DecodeCtReading(MsgBuf& buf, CtReading& r);
bool DecodeBreakerReading(MsgBuf& buf, BreakerReading& r);
bool DecodeSubfeedReading(MsgBuf& buf, SubfeedReading& r);
bool DecodePanelReadings(MsgBuf& buf, PanelReadingsReply& r);
// Keeps at most 42 breaker and 16 subfeed values; a reply with more is read whole, its extra values
// are ignored (and logged once per process), so a poll cycle never stalls on it.
bool DecodePanelEnergy(MsgBuf& buf, PanelEnergy& r);

bool EncodeCtReading(MsgBuf& buf, const CtReading& r);
bool EncodeBreakerReading(MsgBuf& buf, const BreakerReading& r);
bool EncodeSubfeedReading(MsgBuf& buf, const SubfeedReading& r);
bool EncodePanelReadings(MsgBuf& buf, const PanelReadingsReply& r);
bool EncodePanelEnergy(MsgBuf& buf, const PanelEnergy& r);

}  // namespace jvo
