#pragma once
// PosixSerialDevice: a serial device on Linux through termios. The device is opened without
// becoming the controlling terminal and without blocking, made exclusive (TIOCEXCL against other
// opens and an advisory flock against other programs, which also holds for root, whom TIOCEXCL
// does not stop), set to raw 8N1 without any flow control, with DTR and RTS asserted, asked for
// low latency, and purged.
#include <string>

#include "link/SerialDevice.h"

namespace jvo {

class PosixSerialDevice final : public ISerialDevice {
public:
    PosixSerialDevice() = default;
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    bool Open(const std::string& path, int baud) override;
    void Close() override;
    bool IsOpen() const override { return m_Fd >= 0; }
    std::string OpenProblem() const override { return m_OpenProblem; }
    WaitResult WaitInput(SyncEvent& wake, int32_t timeoutMs) override;
    ReadResult Read(uint8_t* buffer, size_t capacity, size_t* got) override;
    bool WriteAll(const uint8_t* data, size_t count, SyncEvent* cancel,
                  int32_t timeoutMs = kWaitForever) override;

    int Fd() const { return m_Fd; }
    // True for a standard UART port that the kernel lists although no hardware answers there.
    bool IsPlaceholderUart() const;

private:
    int m_Fd = -1;
    std::string m_Path;
    std::string m_OpenProblem;
};

// The termios speed constant for a baud rate; false when the rate is not one of them.
bool BaudToSpeed(int baud, unsigned* speed);

}  // namespace jvo
