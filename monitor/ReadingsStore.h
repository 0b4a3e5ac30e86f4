#pragma once
// The live readings of the unit as the poll worker stores them: one CtReading per CT number, and
// per panel its voltages, main feed, panel flags, energies and the breaker and subfeed slots.
// The worker writes, the user-interface thread reads; every operation takes one short lock, so a
// reader always sees each record whole (a row may still mix values of two successive polls, as
// the records arrive one by one).
#include <array>
#include <cstdint>
#include <mutex>

#include "link/Readings.h"

namespace jvo {

struct BreakerSlot {
    BreakerReading m_Reading;
    float m_Energy = 0;  // kWh, from the panel energy reply
    bool operator==(const BreakerSlot&) const = default;
};

struct SubfeedSlot {
    SubfeedReading m_Reading;
    float m_Energy = 0;  // kWh, from the panel energy reply
    bool operator==(const SubfeedSlot&) const = default;
};

// Phase index: 0 X, 1 Y, 2 Z.
struct PanelReadings {
    std::array<float, 3> m_Vln{};
    std::array<float, 3> m_Vll{};
    std::array<float, 3> m_VCrest{};
    std::array<float, 3> m_VThd{};  // fraction
    float m_Unshown = 0;
    uint8_t m_UnshownByte = 0;
    SubfeedReading m_MainFeed;
    FlagTriple m_PanelFlag;  // only its raw byte is shown
    FlagTriple m_OverVoltage;
    FlagTriple m_UnderVoltage;
    std::array<FlagTriple, 2> m_Further{};
    float m_MainEnergy = 0;  // kWh
    std::array<BreakerSlot, kMaxBreakers> m_Breakers{};
    std::array<SubfeedSlot, kMaxSubfeeds> m_Subfeeds{};
    bool operator==(const PanelReadings&) const = default;
};

struct ReadingsSnapshot {
    std::array<CtReading, kCtCount> m_Ct{};
    std::array<PanelReadings, kPanelCount> m_Panels{};
    int64_t m_Clock = 0;  // unit clock, seconds since 1970-01-01 UTC
    bool m_ClockValid = false;
    bool operator==(const ReadingsSnapshot&) const = default;
};

class ReadingsStore {
public:
    // Writer side (the poll worker). Out-of-range numbers are ignored.
    void SetCt(int ct, const CtReading& r);
    // Fills everything of the panel but the energies.
    void SetPanelReadings(int panel, const PanelReadingsReply& r);
    // Fills the slot's reading and leaves its energy.
    void SetBreaker(int panel, int index, const BreakerReading& r);
    void SetSubfeed(int panel, int index, const SubfeedReading& r);
    // Fills only the energies; values beyond the 42 breaker and 16 subfeed slots are ignored.
    void SetPanelEnergy(int panel, const PanelEnergy& e);
    void SetClock(int64_t seconds);

    // Reader side (any thread): whole copies taken under the lock.
    ReadingsSnapshot Snapshot() const;
    CtReading Ct(int ct) const;
    PanelReadings Panel(int panel) const;

    // Counts every write; a reader can tell whether anything changed since it last looked.
    uint64_t Generation() const;

private:
    mutable std::mutex m_Lock;
    ReadingsSnapshot m_Data;
    uint64_t m_Generation = 0;
};

}  // namespace jvo
