// The current user's registry, read only.
#include "link/UserRegistry.h"

#include <windows.h>

#include "base/win32/Wide.h"

namespace jvo {

RegistryRead ReadUserDword(const std::string& subkey, const std::string& name, uint32_t& value) {
    value = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return RegistryRead::Missing;
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof data;
    const LONG r = RegQueryValueExW(key, Widen(name).c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(&data), &bytes);
    RegCloseKey(key);
    if (r == ERROR_FILE_NOT_FOUND) return RegistryRead::Missing;
    if (r == ERROR_MORE_DATA || (r == ERROR_SUCCESS && (type != REG_DWORD || bytes != sizeof data)))
        return RegistryRead::NotDword;
    if (r != ERROR_SUCCESS) return RegistryRead::Missing;
    value = data;
    return RegistryRead::Dword;
}

}  // namespace jvo
