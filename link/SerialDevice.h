#pragma once
// ISerialDevice: the serial port as the frame port needs it, independent of the platform. A
// device is opened exclusively by path, set to raw 8N1 at a baud rate with DTR and RTS held
// asserted and no flow control, and then read and written without blocking the caller beyond the
// waits below.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/SyncEvent.h"

namespace jvo {

class ISerialDevice {
public:
    enum class WaitResult {
        Readable,  // input is available (or the device has something to report on the next Read)
        Woken,     // the wake-up event is set
        Gone,      // the device hung up or failed; it will deliver nothing more
        TimedOut,
    };
    enum class ReadResult {
        Data,     // *got > 0 bytes were read
        Nothing,  // no input at the moment
        Gone,     // the device hung up or failed
    };

    virtual ~ISerialDevice() = default;

    // Opens and sets up the device. False (device closed) when it cannot be opened exclusively or
    // set up.
    virtual bool Open(const std::string& path, int baud) = 0;
    // Why the last Open failed, in words for the user ("permission denied: add yourself to the
    // dialout group", "it is in use by another program"); empty after a successful open.
    virtual std::string OpenProblem() const = 0;
    // Releases exclusivity and closes; does nothing when closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Waits until input is available, `wake` is set, or timeoutMs (kWaitForever: no limit) ends.
    // A set `wake` is reported before anything else. `wake` is not cleared.
    virtual WaitResult WaitInput(SyncEvent& wake, int32_t timeoutMs) = 0;
    // Reads what is available, up to `capacity` bytes.
    virtual ReadResult Read(uint8_t* buffer, size_t capacity, size_t* got) = 0;
    // Hands all `count` bytes to the driver, waiting while its output buffer is full. Gives up
    // with false when the device fails, when `cancel` (may be null) is set while waiting, or when
    // the driver has not taken every byte within timeoutMs (kWaitForever: no limit). Returns once
    // the driver has taken the bytes, not when they have left the line.
    virtual bool WriteAll(const uint8_t* data, size_t count, SyncEvent* cancel,
                          int32_t timeoutMs = kWaitForever) = 0;
};

// The device of the platform this program is built for.
std::unique_ptr<ISerialDevice> CreateSerialDevice();

}  // namespace jvo
