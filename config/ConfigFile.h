#pragma once
// Configuration files (*.jvo.cfg): a u32 payload length L (below 64000) followed by the payload:
// the u16 file schema 4, the unit record, for panel A and B the panel record with all 42 breaker
// and all 16 subfeed entries (used or not), then the 118 channel records, each in the schema-4
// record layout. A loaded configuration equals the saved one entry for entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/UnitConfig.h"

namespace jvo {

// Payloads must stay below this size; the length field of a valid file is smaller.
constexpr uint32_t kConfigFileMaxPayload = 64000;
// Payload of a configuration whose strings are all empty: schema, unit record (81 bytes with its
// kIScaleFactorCount scale factors), two panels with all entries, the channel records.
constexpr size_t kEmptyConfigPayload = 2 + (17 + 4 * kIScaleFactorCount) +
                                       kPanelCount * (79 + kMaxBreakers * 22 + kMaxSubfeeds * 32) +
                                       kCtCount * 14;

// The payload bytes of `config`. False (and `out` empty) when it would not stay below
// kConfigFileMaxPayload bytes, which only very long strings can cause.
bool EncodeConfigPayload(const UnitConfig& config, std::vector<uint8_t>& out);
// Decodes a whole payload into `config`; false unless the schema is 4, every record decodes and
// the payload is consumed exactly. `config` is changed only on success.
bool DecodeConfigPayload(UnitConfig& config, const uint8_t* data, size_t size);

// The complete file image (length field and payload) and its inverse. The image must be exactly
// 4 + L bytes long.
bool EncodeConfigFile(const UnitConfig& config, std::vector<uint8_t>& out);
bool DecodeConfigFile(UnitConfig& config, const uint8_t* data, size_t size);

// Writes `config` to `path` without ever leaving a damaged file there: the image goes into a new
// file in the same folder, is flushed to the disk and only then renamed over `path`. On failure
// the previous file (if any) is untouched and the new file is removed. A device, FIFO or anything
// else but a regular file at `path` is refused (base/ReplaceFile.h).
bool SaveConfigFile(const UnitConfig& config, const std::string& path);

// Reads a configuration from an open file descriptor (from its current offset to its end). Reads
// at most 4 + kConfigFileMaxPayload bytes and never waits on a non-blocking descriptor. `config`
// is changed only on success.
bool LoadConfigFile(UnitConfig& config, int fd);
// Opens `path` (without waiting on special files) and loads it.
bool LoadConfigFile(UnitConfig& config, const std::string& path);

}  // namespace jvo
