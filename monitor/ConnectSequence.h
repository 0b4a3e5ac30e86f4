#pragma once
// The connect sequence: the connect dialog, then the schema check, the configuration load and the
// version, with the connect dialog again after a failure. It waits on the unit, so it runs on the
// command thread (MonitorSession does that), never on the UI thread. PrepareUnit is the part after
// the dialog, shared with jvoctl.
#include <cstdint>
#include <functional>
#include <string>

#include "config/UnitConfig.h"
#include "link/UnitClient.h"
#include "monitor/ConnectDlgLogic.h"
#include "monitor/MonitorUi.h"

namespace jvo::monitor {

constexpr int kRequiredSchema = 4;
constexpr int kSchemaAttempts = 10;
constexpr int kRecordAttempts = 10;
constexpr int kVersionAttempts = 10;

// What the connect sequence learnt from the unit.
struct UnitSetup {
    UnitConfig m_Config;           // names cleaned for display
    uint16_t m_Schema = 0;         // the version answered, 0 when none came
    bool m_AutoZeroKnown = false;  // service users only: the auto-zero state was read
    bool m_AutoZero = false;
    bool m_VersionKnown = false;
    VersionInfo m_Version;
    std::string Title() const;     // the window title ("JVO/TKA Monitor" while not known)
    std::string UnitText() const;  // the "Unit:" field: the unit name after one blank
};

enum class PrepareResult { OK, WRONG_SCHEMA, LOAD_FAILED };

// "Incorrect Schema Version: %d (%d Required)" with `version` and 4.
std::string SchemaMessage(int version);
// "JVO/TKA Monitor [Firmware Build:%d Config Schema:%d]" with the build and 4.
std::string MonitorTitle(int firmwareBuild);

// Schema check (10 tries, 100 ms apart; the first answer decides), then the auto-zero state
// (service users), ReadConfig with 10 attempts per record and the name cleaning, then up to 10
// GetVersion. `sleeper` makes the pauses (tests pass an instant one); empty for real pauses.
PrepareResult PrepareUnit(UnitClient& client, bool serviceUser, UnitSetup& setup,
                          std::function<void(int32_t)> sleeper = {});

// The whole sequence: the dialog until the link opens, PrepareUnit, and on a failure its message,
// the link closed and the dialog again. True when connected (the link open, `setup` filled);
// false when the user cancelled (the link closed).
bool RunConnectSequence(MonitorUi& ui, UnitLink& link, ConnectDlgLogic& dialog, bool serviceUser,
                        UnitSetup& setup, std::function<void(int32_t)> sleeper = {});

}  // namespace jvo::monitor
