// The platform's serial device, in a file of its own: a program that brings its own device
// defines CreateSerialDevice itself and this file is then not linked in.
#include <memory>

#include "link/win32/Win32SerialDevice.h"

namespace jvo {

std::unique_ptr<ISerialDevice> CreateSerialDevice() {
    return std::make_unique<Win32SerialDevice>();
}

}  // namespace jvo
