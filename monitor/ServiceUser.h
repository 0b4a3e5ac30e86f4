#pragma once
// The service-user flag. On Windows it is a value in the current user's registry; elsewhere the
// monitor's registry key is a file in the Windows registry export syntax, read once at start-up
// and never written:
//
//   Windows Registry Editor Version 5.00            (optional first line)
//
//   [HKEY_CURRENT_USER\SOFTWARE\Tessaly Corporation\JVO]
//   "ZQT User"=dword:00000001
//
// The flag is true only for a "ZQT User" value of type dword (exactly 8 hex digits) that is not
// zero, on a line under that key line. Key and value names match without regard to case; lines
// end in LF or CR LF; there are no blanks around "=". Blank lines, other keys and other values are
// allowed. A missing or unreadable file, any line that is not part of that syntax, or a "ZQT User"
// value of another type or form leaves the flag false.
#include <string>
#include <string_view>

namespace jvo {

// $XDG_CONFIG_HOME/Tessaly Corporation/JVO.conf, or ~/.config/Tessaly Corporation/JVO.conf when the
// variable is unset, empty or not an absolute path. Empty when no home folder is known either.
std::string ServiceUserFilePath();

// The flag where this platform keeps it: on Windows the current user's registry value
// "ZQT User" of the key "SOFTWARE\Tessaly Corporation\JVO" (a REG_DWORD, set when not zero; any
// other type leaves it off), elsewhere the file of ServiceUserFilePath().
bool ReadServiceUserFlag();
// Reads the flag from a file (see above).
bool ReadServiceUserFlag(const std::string& path);
// The same from the file's text.
bool ParseServiceUserFlag(std::string_view text);

}  // namespace jvo
