#pragma once
// The rules behind adding breakers and subfeeds: the channels a new breaker takes, the hardware
// class of a panel and the groups of five channels a new subfeed can take, the set-up of those
// channels, and where a new record goes in a panel's ordered table. Pure functions on the
// configuration; BasicDlg runs the operations with their questions and messages.
#include <array>
#include <cstdint>

#include "config/UnitConfig.h"

namespace jvo::tool {

constexpr int kHardwareClassNone = 9;  // no subfeed can be added
constexpr int kSubfeedGroupCount = 19;
constexpr int kSubfeedSizeCount = 3;
constexpr uint16_t kSubfeedSizes[kSubfeedSizeCount] = {100, 225, 400};
constexpr uint16_t kVoltageIndexNone = 7;

// The channel a new breaker's pole `pole` takes when its first pole sits at slot index `slot`
// (0..41): Module slot+pole+1 of the panel, in reverse order in the right column when branch
// connector 2 is "MODULE (Inverted)". A global channel number (panel B adds 59); CT_NONE when
// the pole would fall outside the 42 slots.
CtRef NewBreakerChannel(const UnitConfig& config, int panel, int slot, int pole);

// Hardware class 0..9 of `panel` from the main boards of both panels and cross-configuration.
int HardwareClass(const UnitConfig& config, int panel);
// Bit g is set when subfeed group g is offered to hardware class `cls`.
uint32_t SubfeedGroupMask(int cls);
// The five global channels of group g (phase X, Y, Z, neutral, ground); g must be 0..18.
std::array<CtRef, 5> SubfeedGroupChannels(int group);
// True when none of the group's channels is in use.
bool SubfeedGroupFree(const UnitConfig& config, int group);

// The groups offered to a panel, in ascending order, as the "Add Subfeed" dialog's candidates.
struct SubfeedCandidates {
    int m_Class = kHardwareClassNone;
    int m_Count = 0;
    std::array<int, 16> m_Groups{};
    uint16_t m_EnableMask = 0;  // bit k: candidate k's group is free
};
SubfeedCandidates ListSubfeedCandidates(const UnitConfig& config, int panel);

// Sets up the five channel records of `group` for a new subfeed of size index `size` (0..2) on
// `panel`; `libG1` is true for hardware classes 3, 4 and 5.
void SetUpSubfeedChannels(UnitConfig& config, int panel, int group, int size, bool libG1);

// Index before which a new breaker whose first slot displays as `display` goes.
int BreakerInsertIndex(const PanelRecord& panel, int display);
// Index before which `record` goes to keep the subfeeds ordered by placement, then position.
int SubfeedInsertIndex(const PanelRecord& panel, const SubfeedRecord& record);

// True when internal slots first .. first+count-1 lie in 1..42 and no used breaker or panel-slot
// subfeed of `panel` claims any of them.
bool PanelSlotsFree(const PanelRecord& panel, int first, int count);
// True when `position` is 1..16 and no used auxiliary subfeed of `panel` claims it.
bool AuxPositionFree(const PanelRecord& panel, int position);

}  // namespace jvo::tool
