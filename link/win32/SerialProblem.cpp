// Why a COM port cannot be opened, on Windows.
#include <windows.h>

#include "base/win32/Wide.h"
#include "link/OpenProblems.h"
#include "link/win32/Win32SerialDevice.h"

namespace jvo::cmdline {

std::string SerialDeviceProblem(const std::string& path) {
    HANDLE h = CreateFileW(Widen(Win32SerialDevice::DevicePath(path)).c_str(),
                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return "the device does not exist";
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
            return "it is in use by another program";
        return Win32ErrorText(error);
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool serial = GetCommState(h, &dcb) != 0;
    CloseHandle(h);
    return serial ? "its line settings were refused (see the messages above)"
                  : "it is not a serial device";
}

}  // namespace jvo::cmdline
