#include "link/Commands.h"

#include <iterator>

namespace jvo {

namespace {

constexpr CommandInfo kCommands[] = {
    {CMD_GET_EVENT_LOG_STATUS, "GetEventLogStatus", false},
    {CMD_GET_EVENT, "GetEvent", false},
    {CMD_CLEAR_EVENT_LOG, "ClearEventLog", true},
    {CMD_GET_UNIT_RECORD, "GetUnitRecord", false},
    {CMD_SET_UNIT_RECORD, "SetUnitRecord", true},
    {CMD_GET_PANEL_RECORD, "GetPanelRecord", false},
    {CMD_SET_PANEL_RECORD, "SetPanelRecord", true},
    {CMD_GET_BREAKER_RECORD, "GetBreakerRecord", false},
    {CMD_SET_BREAKER_RECORD, "SetBreakerRecord", true},
    {CMD_GET_CT_RECORD, "GetCtRecord", false},
    {CMD_SET_CT_RECORD, "SetCtRecord", true},
    {CMD_COMMIT_CONFIG, "CommitConfig", true},
    {CMD_REBOOT_UNIT, "RebootUnit", true},
    {CMD_GET_STATUS, "GetStatus", false},
    {CMD_GET_DIP_ADDRESS, "GetDipAddress", false},
    {CMD_GET_VERSION, "GetVersion", false},
    {CMD_GET_PANEL_READINGS, "GetPanelReadings", false},
    {CMD_GET_BREAKER_READING, "GetBreakerReading", false},
    {CMD_GET_CT_READING, "GetCtReading", false},
    {CMD_CLEAR_PANEL_ALARMS, "ClearPanelAlarms", true},
    {CMD_GET_CLOCK, "GetClock", false},
    {CMD_SET_CLOCK, "SetClock", true},
    {CMD_GET_PANEL_ENERGY, "GetPanelEnergy", false},
    {CMD_GET_SUBFEED_RECORD, "GetSubfeedRecord", false},
    {CMD_SET_SUBFEED_RECORD, "SetSubfeedRecord", true},
    {CMD_GET_SUBFEED_READING, "GetSubfeedReading", false},
    {CMD_RESET_TO_DEFAULTS, "ResetToDefaults", true},
    {CMD_RESET_ENERGY, "ResetEnergy", true},
    {CMD_GET_SCHEMA_VERSION, "GetSchemaVersion", false},
    {CMD_GET_AUTO_ZERO, "GetAutoZero", false},
    {CMD_SET_AUTO_ZERO, "SetAutoZero", true},
};

}  // namespace

const CommandInfo* CommandTable(int& count) {
    count = static_cast<int>(std::size(kCommands));
    return kCommands;
}

const CommandInfo* FindCommand(uint8_t code) {
    for (const CommandInfo& c : kCommands)
        if (c.code == code) return &c;
    return nullptr;
}

std::string CommandName(uint8_t code) {
    const CommandInfo* c = FindCommand(code);
    return c ? std::string(c->name) : "command " + std::to_string(code);
}

bool ChangesUnit(uint8_t code) {
    const CommandInfo* c = FindCommand(code);
    return !c || c->changesUnit;
}

}  // namespace jvo
