#pragma once
// The current user's registry (HKEY_CURRENT_USER), read only: the platform's store of a user's
// settings on Windows. Other platforms have none, and their programs keep such a setting in a file
// of their own instead.
#include <cstdint>
#include <string>

namespace jvo {

enum class RegistryRead {
    NoRegistry,  // this platform has no registry
    Missing,     // no such key or value
    NotDword,    // the value is there, of another type
    Dword,       // a REG_DWORD: `value` holds it
};

// Reads the value `name` of the key `subkey` (below HKEY_CURRENT_USER, "\\" between the levels;
// UTF-8), without ever writing.
RegistryRead ReadUserDword(const std::string& subkey, const std::string& name, uint32_t& value);

}  // namespace jvo
