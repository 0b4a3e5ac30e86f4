// The platform's serial device, in a file of its own: a program that brings its own device
// (a fuzzing harness with a scripted one) defines CreateSerialDevice itself and this file is
// then not linked in.
#include <memory>

#include "link/posix/PosixSerialDevice.h"

namespace jvo {

std::unique_ptr<ISerialDevice> CreateSerialDevice() {
    return std::make_unique<PosixSerialDevice>();
}

}  // namespace jvo
