#pragma once
// FrameBuf: storage of one frame, handed between the frame pool, the frame port and its users.
// FramePool: the one process-wide free list of frame buffers, so that the receive path does not
// allocate per frame. A buffer held by a user is self-linked; a buffer in a list (the pool or a
// receive queue) links to the next one.
#include <cstdint>
#include <mutex>

namespace jvo {

// Bytes of a frame buffer: the largest body sent (1202) plus the two check bytes.
constexpr int32_t kFrameBufSize = 1204;
// Largest body a sender may pass (the check sequence goes after it).
constexpr int32_t kMaxSendBody = kFrameBufSize - 2;
// Most unstuffed bytes accepted between two flags, check sequence included.
constexpr int32_t kMaxRecvFrame = 1202;

struct FrameBuf {
    FrameBuf* link;
    int32_t length;
    uint8_t data[kFrameBufSize];
};

class FramePool {
public:
    // Buffers made when the first frame port is constructed.
    static constexpr int kInitialBuffers = 12;

    // The process-wide pool. It is made on first use and lives until the process ends; every
    // buffer it ever made stays reachable from it, also while a user holds it.
    static FramePool& Instance();

    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    // Puts kInitialBuffers buffers on the free list the first time; later calls do nothing.
    void SetUp();
    // A self-linked buffer of length 0, from the free list or newly made when the list is empty.
    FrameBuf* Acquire();
    // Returns a self-linked buffer to the free list. Null and buffers that sit in a list are left
    // alone.
    void Release(FrameBuf* frame);
    // Frees a self-linked buffer outright instead of keeping it for reuse (a frame that was
    // dropped). Null and linked buffers are left alone.
    void Discard(FrameBuf* frame);

    int32_t FreeCount() const;
    // Buffers made so far (discarded ones included).
    int32_t CreatedCount() const;
    // Buffers currently in existence, free or held.
    int32_t LiveCount() const;

private:
    FramePool() = default;
    ~FramePool() = default;  // never destroyed: threads may still hand buffers back at exit

    // Each buffer is embedded in a slot that is also on a list of every live buffer.
    struct Slot {
        FrameBuf frame;  // first member: a FrameBuf* of a pool buffer converts to its Slot*
        Slot* prevLive;
        Slot* nextLive;
    };
    FrameBuf* CreateLocked();

    mutable std::mutex m_Lock;
    FrameBuf* m_FreeHead = nullptr;
    Slot* m_Live = nullptr;
    int32_t m_FreeCount = 0;
    int32_t m_CreatedCount = 0;
    int32_t m_LiveCount = 0;
    bool m_SetUp = false;
};

}  // namespace jvo
