#pragma once
// Pinning a listed serial adapter as COM n in the user's own port directory (link/PortDirectory.h),
// so that its number stays when other adapters come and go: the pin points at the adapter's
// serial/by-id name when it has one (that name follows the adapter to another ttyUSB), else at
// its device. Not on Windows, which numbers its ports itself.
#include <string>

#include "link/PortDirectory.h"

namespace jvo {

// What a pin of `entry` points at: /dev/serial/by-id/NAME, else the device itself.
std::string PinTarget(const PortEntry& entry, const PortRoots& roots);

// Pins `entry` as COM `comNumber` in roots.portDir. True with `said` telling what the pin points
// at ("COM7 now points at /dev/serial/by-id/usb-FTDI_...-port0 (/dev/ttyUSB0)"); false with the
// reason in `said`: no pins on this system, a number out of 1..32, an adapter that is pinned
// already, a com<n> that is taken.
bool PinAdapter(const PortEntry& entry, int comNumber, const PortRoots& roots, std::string& said);

}  // namespace jvo
