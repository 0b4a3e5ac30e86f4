#include "link/FramePort.h"

#include <algorithm>

#include "link/AppLog.h"
#include "link/Crc16.h"
#include "link/Threads.h"

namespace jvo {

static_assert(kMaxWireFrame <= CFramePort::kTransmitBufferSize);

namespace {

// Sets up the pool before the members that take buffers from it are constructed.
FrameQueue& SetUpPool(FrameQueue& queue) {
    FramePool::Instance().SetUp();
    return queue;
}

}  // namespace

CFramePort::CFramePort() : m_Receiver(SetUpPool(m_Queue)) {}

CFramePort::~CFramePort() {
    Close();
}

bool CFramePort::OpenDevice(const std::string& path, int baud) {
    std::lock_guard<std::mutex> guard(m_OpenLock);
    if (m_Open.load(std::memory_order_relaxed)) {
        JVO_LOG1("CFramePort::Open() Port already open");
        m_OpenProblem = "the port is already open";
        return false;
    }
    std::unique_ptr<ISerialDevice> device = CreateSerialDevice();
    if (!device->Open(path, baud)) {
        m_OpenProblem = device->OpenProblem();
        return false;
    }
    m_OpenProblem.clear();
    {
        std::lock_guard<std::mutex> sendGuard(m_SendLock);
        m_Device = std::move(device);
    }
    m_Baud.store(baud, std::memory_order_relaxed);
    m_Stop.Clear();
    m_DeviceGone = false;
    {
        std::lock_guard<std::mutex> mode(m_ModeLock);
        m_Closing = false;
        m_CallerReceives = false;
    }
    // A frame half received before an earlier close is not continued.
    m_Receiver.Reset();
    m_ReaderRunning.store(true, std::memory_order_release);
    m_Reader = std::thread(&CFramePort::ReaderThread, this);
    m_Open.store(true, std::memory_order_release);
    return true;
}

std::string CFramePort::OpenProblem() const {
    std::lock_guard<std::mutex> guard(m_OpenLock);
    return m_OpenProblem;
}

void CFramePort::Close() {
    std::lock_guard<std::mutex> guard(m_OpenLock);
    if (!m_Open.load(std::memory_order_relaxed)) return;
    {
        std::lock_guard<std::mutex> mode(m_ModeLock);
        m_Closing = true;  // no caller starts reading the device any more
    }
    m_Stop.Set();  // wakes the reader, callers reading the device and any write waiting for room
    if (m_Reader.joinable()) m_Reader.join();
    {
        std::unique_lock<std::mutex> mode(m_ModeLock);
        m_NoCallers.wait(mode, [this] { return m_CallersWaiting == 0; });
    }
    {
        std::lock_guard<std::mutex> sendGuard(m_SendLock);
        m_Device->Close();
        m_Device.reset();
    }
    m_Open.store(false, std::memory_order_release);
}

bool CFramePort::SendFrame(FrameBuf* frame, bool waitForCompletion) {
    (void)waitForCompletion;
    if (frame == nullptr) return false;
    FramePool& pool = FramePool::Instance();
    if (frame->length < 0 || frame->length > kMaxSendBody) {
        JVO_LOG1("CFramePort::SendFrame() Invalid frame length %d", frame->length);
        pool.Release(frame);
        return false;
    }
    const uint16_t fcs = Crc16Compute(frame->data, static_cast<size_t>(frame->length));
    frame->data[frame->length++] = static_cast<uint8_t>(fcs & 0xFF);
    frame->data[frame->length++] = static_cast<uint8_t>(fcs >> 8);

    std::lock_guard<std::mutex> guard(m_SendLock);
    const size_t n = BuildWireFrame(frame->data, static_cast<size_t>(frame->length),
                                    m_TransmitBuffer, sizeof m_TransmitBuffer);
    pool.Release(frame);
    if (!m_Device || n == 0) return false;
    return m_Device->WriteAll(m_TransmitBuffer, n, &m_Stop, WriteBoundMs(n, Baud()));
}

int32_t CFramePort::WriteBoundMs(size_t wireBytes, int baud) {
    // Ten bit times per byte, rounded up.
    const int64_t wireMs =
        baud > 0 ? (static_cast<int64_t>(wireBytes) * 10 * 1000 + baud - 1) / baud : 0;
    return static_cast<int32_t>(std::min<int64_t>(wireMs, 600000)) + kWriteMarginMs;
}

FrameBuf* CFramePort::GetFrame(int32_t timeoutMs) {
    if (FrameBuf* frame = m_Queue.Take(0)) return frame;
    {
        std::lock_guard<std::mutex> mode(m_ModeLock);
        if (m_Closing || !m_ReaderRunning.load(std::memory_order_acquire) || !m_Device) {
            // A closed port (m_Stop set) receives nothing more: the wait ends at once.
            return m_Queue.Take(timeoutMs, &m_Stop);
        }
        ++m_CallersWaiting;
        m_CallerReceives = true;
    }
    FrameBuf* frame = ReceiveAsCaller(timeoutMs);
    std::lock_guard<std::mutex> mode(m_ModeLock);
    m_LastCaller = std::chrono::steady_clock::now();
    if (--m_CallersWaiting == 0) m_NoCallers.notify_all();
    return frame;
}

FrameBuf* CFramePort::ReceiveAsCaller(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    // The device stays open while a caller waits: Close waits for the callers first.
    ISerialDevice& device = *m_Device;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        {
            // Under the receive lock: a read the reader thread began before this caller was
            // counted has fed its frames by now, and a later one stands aside (ReaderReads).
            std::lock_guard<std::mutex> guard(m_RxLock);
            if (FrameBuf* frame = m_Queue.Take(0)) return frame;
        }
        int32_t wait = kWaitForever;
        if (timeoutMs >= 0) {
            // Rounded up, so that a time-out is never reported before it has fully passed.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return nullptr;
            wait = static_cast<int32_t>(left.count());
        }
        switch (device.WaitInput(m_Stop, wait)) {
            case ISerialDevice::WaitResult::Readable:
                if (!ReadAndFeed(device)) {
                    DeviceGone();
                    return m_Queue.Take(0);
                }
                break;
            case ISerialDevice::WaitResult::Gone:
                DeviceGone();
                return m_Queue.Take(0);
            case ISerialDevice::WaitResult::Woken:
                // Closed, or the reader ended: a frame that is already queued is still handed out.
                return m_Queue.Take(0);
            case ISerialDevice::WaitResult::TimedOut:
                break;
        }
    }
}

bool CFramePort::ReadAndFeed(ISerialDevice& device) {
    std::lock_guard<std::mutex> guard(m_RxLock);
    return ReadAndFeedLocked(device);
}

bool CFramePort::ReaderReads(ISerialDevice& device) {
    std::lock_guard<std::mutex> guard(m_RxLock);
    {
        // A counted caller reads for itself. Were the reader to take its reply between the
        // caller's look at the queue and its wait on the device, that wait would not end.
        std::lock_guard<std::mutex> mode(m_ModeLock);
        if (m_CallersWaiting > 0) return true;
    }
    return ReadAndFeedLocked(device);
}

bool CFramePort::ReadAndFeedLocked(ISerialDevice& device) {
    size_t got = 0;
    const ISerialDevice::ReadResult r = device.Read(m_ReadBuffer, sizeof m_ReadBuffer, &got);
    if (r == ISerialDevice::ReadResult::Gone) return false;
    if (r == ISerialDevice::ReadResult::Data) m_Receiver.Feed(m_ReadBuffer, got);
    return true;
}

void CFramePort::DeviceGone() {
    m_DeviceGone = true;
    m_Stop.Set();  // the reader ends and says why
}

bool CFramePort::CallersReceive() {
    std::lock_guard<std::mutex> mode(m_ModeLock);
    if (m_CallerReceives && m_CallersWaiting == 0 &&
        std::chrono::steady_clock::now() - m_LastCaller >= std::chrono::milliseconds(kHandBackMs))
        m_CallerReceives = false;
    return m_CallerReceives;
}

void CFramePort::ReaderThread() {
    NameThisThread("FramePortRx");
    // The device pointer does not change while the reader runs: Open sets it before starting the
    // thread and Close replaces it only after joining.
    ISerialDevice& device = *m_Device;
    for (;;) {
        if (CallersReceive()) {
            // A caller reads the device; look again when it may have stopped doing so.
            if (!m_Stop.Wait(kHandBackMs)) continue;
        }
        // A caller that starts reading meanwhile takes what arrives as well; whichever thread
        // reads first feeds it, under m_RxLock, so the bytes stay in order.
        const ISerialDevice::WaitResult w = device.WaitInput(m_Stop, kWaitForever);
        if (w == ISerialDevice::WaitResult::Woken) {
            if (m_DeviceGone)
                JVO_LOG1("CFramePort::ReaderThread() Serial device hung up or failed; reader ends");
            break;
        }
        if (w == ISerialDevice::WaitResult::Gone) {
            JVO_LOG1("CFramePort::ReaderThread() Serial device hung up or failed; reader ends");
            break;
        }
        if (w != ISerialDevice::WaitResult::Readable) continue;
        // While a caller waits this reads nothing, and the loop's top stands aside.
        if (!ReaderReads(device)) {
            JVO_LOG1("CFramePort::ReaderThread() Serial device hung up or failed; reader ends");
            break;
        }
    }
    m_ReaderRunning.store(false, std::memory_order_release);
    // Nothing more can arrive: a transaction waiting for its reply fails now rather than at its
    // time-out, and a write still waiting for room gives up. Frames already queued are still
    // handed out. Open clears the event again.
    m_Stop.Set();
}

}  // namespace jvo
