#pragma once
// Win32SerialDevice: a COM port on Windows. Opened as "\\.\COMn" for exclusive overlapped I/O,
// with the driver's queues at 40960 bytes, 115200 (the rate given) 8N1 without flow control, DTR
// and RTS held on, 0x7E as the event character, reads that return at once with what is buffered,
// and everything pending purged. Waits for input are overlapped WaitCommEvent calls, bounded and
// woken by an event; writes are overlapped and given up with CancelIoEx when they take too long
// or are cancelled.
//
// A port that cannot wait for comm events (Wine's COM port on a pseudo-terminal ends every
// WaitCommEvent at once as cancelled, while its reads wait for input) is waited on with an
// overlapped read that stays pending until input comes; what it brings is handed out by Read.
#include <atomic>
#include <mutex>
#include <string>

#include "link/SerialDevice.h"

namespace jvo {

class Win32SerialDevice final : public ISerialDevice {
public:
    Win32SerialDevice();
    ~Win32SerialDevice() override;
    Win32SerialDevice(const Win32SerialDevice&) = delete;
    Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

    bool Open(const std::string& path, int baud) override;
    void Close() override;
    bool IsOpen() const override { return m_Handle != nullptr; }
    std::string OpenProblem() const override { return m_OpenProblem; }
    WaitResult WaitInput(SyncEvent& wake, int32_t timeoutMs) override;
    ReadResult Read(uint8_t* buffer, size_t capacity, size_t* got) override;
    bool WriteAll(const uint8_t* data, size_t count, SyncEvent* cancel,
                  int32_t timeoutMs = kWaitForever) override;

    // "\\.\COMn" for "COMn" (any case), the path itself otherwise.
    static std::string DevicePath(const std::string& path);

private:
    struct Io;  // the overlapped records, their events and the read buffer
    // Bytes waiting in the driver's input queue; -1 when the device failed.
    long InputQueued();
    // The pending read's result into the buffer, once it has completed (m_Lock held).
    void HarvestRead();
    // Starts the read that waits for input (m_Lock held).
    void StartRead();
    // After a comm event wait completed (m_Lock held).
    void HarvestCommEvent();
    // The device failed in `call` with the system's `error`: logged once, and every wait and
    // read from now on says Gone.
    void MarkGone(const char* call, unsigned long error);

    void* m_Handle = nullptr;  // the open device (null when closed)
    std::string m_Path;
    Io* m_Io = nullptr;
    std::mutex m_Lock;         // the waits, the read buffer and the state below
    std::mutex m_WriteLock;    // one write at a time
    bool m_ReadWaits = false;  // waits by a pending read, not by comm events
    bool m_SawCommEvent = false;
    bool m_WaitPending = false;
    bool m_ReadPending = false;
    bool m_Gone = false;
    std::atomic<bool> m_Closing{false};  // Close() cancels the waits: an abort is then no fault
    unsigned long m_EventMask = 0;
    std::string m_OpenProblem;
};

}  // namespace jvo
