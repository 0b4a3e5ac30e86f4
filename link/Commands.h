#pragma once
// Command codes of the unit protocol and the constants both sides share.
#include <cstdint>
#include <string>

namespace jvo {

enum Command : uint8_t {
    CMD_GET_EVENT_LOG_STATUS = 17,
    CMD_GET_EVENT = 19,
    CMD_CLEAR_EVENT_LOG = 20,
    CMD_GET_UNIT_RECORD = 32,
    CMD_SET_UNIT_RECORD = 33,
    CMD_GET_PANEL_RECORD = 34,
    CMD_SET_PANEL_RECORD = 35,
    CMD_GET_BREAKER_RECORD = 36,
    CMD_SET_BREAKER_RECORD = 37,
    CMD_GET_CT_RECORD = 40,
    CMD_SET_CT_RECORD = 41,
    CMD_COMMIT_CONFIG = 42,
    CMD_REBOOT_UNIT = 50,
    CMD_GET_STATUS = 71,
    CMD_GET_DIP_ADDRESS = 79,
    CMD_GET_VERSION = 80,
    CMD_GET_PANEL_READINGS = 133,
    CMD_GET_BREAKER_READING = 134,
    CMD_GET_CT_READING = 136,
    CMD_CLEAR_PANEL_ALARMS = 139,
    CMD_GET_CLOCK = 140,
    CMD_SET_CLOCK = 141,
    CMD_GET_PANEL_ENERGY = 142,
    CMD_GET_SUBFEED_RECORD = 143,
    CMD_SET_SUBFEED_RECORD = 144,
    CMD_GET_SUBFEED_READING = 145,
    CMD_RESET_TO_DEFAULTS = 146,
    CMD_RESET_ENERGY = 147,
    CMD_GET_SCHEMA_VERSION = 148,
    CMD_GET_AUTO_ZERO = 149,
    CMD_SET_AUTO_ZERO = 150,
};

constexpr uint8_t kReplyOk = 'd';
constexpr uint8_t kHostAddress = 0xFE;  // the service computer's address in frame headers
constexpr uint8_t kProtocolByte = 2;
constexpr uint32_t kRebootCode = 0x5C3A91E6;
constexpr uint16_t kUnitRunning = 0x1111;  // GetStatus state of a running unit
constexpr int32_t kDefaultReplyTimeoutMs = 250;
constexpr int32_t kCommitTimeoutMs = 10000;
constexpr int32_t kResetEnergyTimeoutMs = 3000;
constexpr int kDefaultBaud = 115200;
constexpr int kMaxRequestBody = 1202;  // header (4) + payload (1198)
constexpr int kMaxPayload = 1198;

// One row of the command table: its code, its operation's name and whether it changes the unit
// (its configuration, logs, alarms, meters, clock or state) rather than only reading it.
struct CommandInfo {
    uint8_t code;
    const char* name;
    bool changesUnit;
};

// Every command of the protocol, in code order.
const CommandInfo* CommandTable(int& count);
// The row of `code`, or null for a code the protocol does not have.
const CommandInfo* FindCommand(uint8_t code);
// The operation's name ("GetEvent"), or "command N" for a code the protocol does not have.
std::string CommandName(uint8_t code);
// True for every command that changes the unit, and for codes the protocol does not have (a
// server that lets only reading through must not pass on what it cannot judge).
bool ChangesUnit(uint8_t code);

// The reply time-out each command needs (the proxy server uses it for the unit side).
constexpr int32_t ReplyTimeoutFor(uint8_t command) {
    return command == CMD_COMMIT_CONFIG  ? kCommitTimeoutMs
           : command == CMD_RESET_ENERGY ? kResetEnergyTimeoutMs
                                         : kDefaultReplyTimeoutMs;
}

}  // namespace jvo
