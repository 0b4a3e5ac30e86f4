#pragma once
// The byte-level halves of the frame link, kept apart from any device so that they can be driven
// directly:
// - BuildWireFrame: flags and stuffs a body that already carries its check sequence.
// - FrameQueue: the receive queue (at most 16 frames) with its frames-waiting event.
// - FrameReceiver: the receive state machine that unstuffs bytes, checks each frame and queues
//   the good ones.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "base/SyncEvent.h"
#include "link/FrameBuf.h"

namespace jvo {

constexpr uint8_t kFrameFlag = 0x7E;
constexpr uint8_t kFrameEscape = 0x7D;
constexpr uint8_t kFrameEscapeXor = 0x20;

// Room for the largest stuffed frame: two flags and every byte of a full buffer escaped.
constexpr size_t kMaxWireFrame = 2 + 2 * static_cast<size_t>(kFrameBufSize);

// Writes 0x7E, `data` with 0x7E sent as 7D 5E and 0x7D as 7D 5D (every other value unchanged),
// and 0x7E into `out`. Returns the number of bytes written, or 0 when they would not fit in
// `capacity`.
size_t BuildWireFrame(const uint8_t* data, size_t count, uint8_t* out, size_t capacity);

class FrameQueue {
public:
    static constexpr int32_t kMaxFrames = 16;

    FrameQueue();
    ~FrameQueue();  // returns frames still queued to the pool
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    // Appends a self-linked frame and takes ownership. When kMaxFrames are already waiting the
    // frame is freed outright and false is returned.
    bool Append(FrameBuf* frame);
    // The oldest frame, self-linked and owned by the caller, or nullptr when none arrives within
    // timeoutMs (kWaitForever: no limit) or, with nothing queued, `cancel` (may be null) is set.
    // A frame that is already queued is taken without a system call.
    FrameBuf* Take(int32_t timeoutMs, const SyncEvent* cancel = nullptr);
    int32_t Count() const;
    // True while frames are waiting.
    bool FramesWaiting() const { return Count() > 0; }

private:
    // Unlinks the head (m_Lock held; the queue is not empty).
    FrameBuf* PopLocked();

    mutable std::mutex m_Lock;
    int32_t m_Count = 0;
    FrameBuf* m_Head = nullptr;
    FrameBuf* m_Tail = nullptr;
    // The frames-waiting event is signalled only while a taker waits on it, so that a frame
    // taken at once (the common case) costs no system call on either side. m_Waiters and
    // m_EventSet are guarded by m_Lock; m_EventSet mirrors the event's state.
    SyncEvent m_FramesWaiting{SyncEvent::Reset::Manual, false};
    int32_t m_Waiters = 0;
    bool m_EventSet = false;
};

class FrameReceiver {
public:
    // Good frames go to `queue`. Takes its first current frame from the pool.
    explicit FrameReceiver(FrameQueue& queue);
    ~FrameReceiver();  // returns the current frame to the pool
    FrameReceiver(const FrameReceiver&) = delete;
    FrameReceiver& operator=(const FrameReceiver&) = delete;

    // Runs the state machine over `count` received bytes, in order.
    void Feed(const uint8_t* data, size_t count);
    void Feed(uint8_t byte);
    // Forgets a partly received frame (the next byte starts a new one). Counters are kept.
    void Reset();

    uint32_t BadEscapes() const { return m_BadEscapes.load(std::memory_order_relaxed); }
    uint32_t ShortFrames() const { return m_ShortFrames.load(std::memory_order_relaxed); }
    uint32_t Overruns() const { return m_Overruns.load(std::memory_order_relaxed); }
    uint32_t CrcErrors() const { return m_CrcErrors.load(std::memory_order_relaxed); }

private:
    void EndOfFrame();
    static void Bump(std::atomic<uint32_t>& counter) {
        counter.fetch_add(1, std::memory_order_relaxed);
    }

    // Counters: zeroed at construction and only ever incremented; readable from any thread.
    std::atomic<uint32_t> m_BadEscapes{0};   // escape followed by a wrong byte or by the flag
    std::atomic<uint32_t> m_ShortFrames{0};  // frames of 1 or 2 bytes
    std::atomic<uint32_t> m_Overruns{0};     // frames longer than kMaxRecvFrame bytes
    std::atomic<uint32_t> m_CrcErrors{0};    // frames that failed the check
    FrameQueue& m_Queue;
    FrameBuf* m_Current;  // frame being assembled; always one pool buffer
    bool m_EscapePending = false;
    bool m_Discard = false;
};

}  // namespace jvo
