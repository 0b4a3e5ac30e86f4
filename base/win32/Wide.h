#pragma once
// UTF-8 text to and from the wide-character strings of the Win32 calls, for the Windows
// implementations of the platform layer.
#include <string>

namespace jvo {

std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);
// The text of a Win32 error number with the number, as in "Access is denied. (error 5)".
std::string Win32ErrorText(unsigned long error);

}  // namespace jvo
