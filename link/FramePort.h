#pragma once
// CFramePort: a serial port that carries whole frames. SendFrame appends the CRC-16/X.25 check
// sequence to a body, stuffs it and writes it between two 0x7E flags. A reader thread takes every
// byte the device delivers, unstuffs it, checks each frame and queues the good bodies; GetFrame
// takes them out oldest first, with a time-out. The port knows nothing of what a body means.
//
// While callers wait for frames one after the other (a transaction follows the last), the
// waiting caller reads the device itself and the reader thread stands aside: the reply then
// wakes one thread, not two. The reader takes the device back once no caller has waited for
// kHandBackMs, so that input between transactions is still taken in and a hang-up noticed.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/SyncEvent.h"
#include "link/FrameBuf.h"
#include "link/FrameReceiver.h"
#include "link/SerialDevice.h"

namespace jvo {

class CFramePort {
public:
    static constexpr size_t kReadBufferSize = 40960;
    static constexpr size_t kTransmitBufferSize = 40960;
    static constexpr int32_t kHandBackMs = 200;
    // A frame the device has not taken within its wire time plus this margin fails. Generous: a
    // working port takes a frame at once (the driver buffers it), so only a device that stopped
    // taking output reaches it, while a briefly busy USB adapter never does.
    static constexpr int32_t kWriteMarginMs = 3000;
    // The write bound of a frame of `wireBytes` at `baud`.
    static int32_t WriteBoundMs(size_t wireBytes, int baud);

    // Sets up the frame pool the first time, takes the first current frame.
    CFramePort();
    // Closes the port when still open and returns every frame it holds to the pool.
    virtual ~CFramePort();
    CFramePort(const CFramePort&) = delete;
    CFramePort& operator=(const CFramePort&) = delete;

    // Opens the serial device at `path` exclusively, sets it up and starts the reader thread.
    // False when the port is already open or the device cannot be opened or set up.
    bool OpenDevice(const std::string& path, int baud);
    // Why the last OpenDevice failed, in words for the user; empty after a successful open.
    std::string OpenProblem() const;
    // Wakes and joins the reader, then closes the device. Afterwards the reader never touches the
    // port. Frames already queued stay queued. Does nothing when closed.
    void Close();
    bool IsOpen() const { return m_Open.load(std::memory_order_acquire); }

    // Takes ownership of a self-linked frame whose length is the body length (0..1202), appends
    // the check sequence (low byte first), writes the stuffed frame and returns the buffer to the
    // pool. True when the driver took every byte within WriteBoundMs; false when it did not, or
    // when the port was closed meanwhile. The driver taking the bytes is the completion here, so
    // `waitForCompletion` changes nothing.
    bool SendFrame(FrameBuf* frame, bool waitForCompletion);
    // The oldest received frame, or nullptr when none arrives within timeoutMs (kWaitForever: no
    // limit), or none is queued once the port is closed or its reader has ended. The caller gives
    // it back with FramePool::Instance().Release().
    FrameBuf* GetFrame(int32_t timeoutMs);
    // Frames waiting in the receive queue.
    int32_t QueuedFrames() const { return m_Queue.Count(); }

    uint32_t BadEscapes() const { return m_Receiver.BadEscapes(); }
    uint32_t ShortFrames() const { return m_Receiver.ShortFrames(); }
    uint32_t Overruns() const { return m_Receiver.Overruns(); }
    uint32_t CrcErrors() const { return m_Receiver.CrcErrors(); }
    int Baud() const { return m_Baud.load(std::memory_order_relaxed); }
    // True while the reader thread is receiving; false once it has ended (closed, or the device
    // went away).
    bool ReaderRunning() const {
        return m_ReaderRunning.load(std::memory_order_acquire) && !m_DeviceGone.load();
    }

private:
    void ReaderThread();
    // GetFrame's wait while reading the device on the caller's thread.
    FrameBuf* ReceiveAsCaller(int32_t timeoutMs);
    // One read of the device into the receive state machine (either thread). False when the
    // device is gone.
    bool ReadAndFeed(ISerialDevice& device);
    bool ReadAndFeedLocked(ISerialDevice& device);  // m_RxLock held
    // The reader thread's read: none while a caller waits. False when the device is gone.
    bool ReaderReads(ISerialDevice& device);
    // The device hung up or failed on a caller's read: the reader ends as if it had seen it.
    void DeviceGone();
    // Reader thread: whether callers read the device now (hands it back after kHandBackMs).
    bool CallersReceive();

    FrameQueue m_Queue;             // receive queue with its frames-waiting event
    FrameReceiver m_Receiver;       // receive state machine and its counters; reader thread only
    mutable std::mutex m_OpenLock;  // serialises Open and Close
    std::mutex m_SendLock;          // one device write at a time; held while the device is closed
    std::unique_ptr<ISerialDevice> m_Device;
    std::string m_OpenProblem;  // guarded by m_OpenLock
    std::atomic<bool> m_Open{false};
    std::atomic<bool> m_ReaderRunning{false};
    std::atomic<int> m_Baud{0};
    SyncEvent m_Stop{SyncEvent::Reset::Manual, false};  // set by Close and by the reader as it ends
    std::thread m_Reader;
    std::mutex m_RxLock;  // the receive state machine and the read buffer (reader or caller)
    // Who reads the device: guarded by m_ModeLock; Close waits on m_NoCallers until no caller
    // uses the device any more.
    std::mutex m_ModeLock;
    std::condition_variable m_NoCallers;
    bool m_Closing = false;
    bool m_CallerReceives = false;
    int m_CallersWaiting = 0;
    std::chrono::steady_clock::time_point m_LastCaller;
    std::atomic<bool> m_DeviceGone{false};
    uint8_t m_ReadBuffer[kReadBufferSize];
    uint8_t m_TransmitBuffer[kTransmitBufferSize];
};

}  // namespace jvo
