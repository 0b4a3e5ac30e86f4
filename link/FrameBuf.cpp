#include "link/FrameBuf.h"

#include <cstddef>
#include <type_traits>

namespace jvo {

FramePool& FramePool::Instance() {
    // Intentionally never freed: the pool and, through its list of live buffers, every buffer it
    // made stay reachable for the life of the process.
    static FramePool* pool = new FramePool();
    return *pool;
}

void FramePool::SetUp() {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_SetUp) return;
    m_SetUp = true;
    for (int i = 0; i < kInitialBuffers; ++i) {
        FrameBuf* frame = CreateLocked();
        frame->link = m_FreeHead;
        m_FreeHead = frame;
        ++m_FreeCount;
    }
}

FrameBuf* FramePool::CreateLocked() {
    static_assert(std::is_standard_layout_v<Slot> && offsetof(Slot, frame) == 0);
    Slot* slot = new Slot;
    slot->prevLive = nullptr;
    slot->nextLive = m_Live;
    if (m_Live) m_Live->prevLive = slot;
    m_Live = slot;
    ++m_CreatedCount;
    ++m_LiveCount;
    slot->frame.link = &slot->frame;
    slot->frame.length = 0;
    return &slot->frame;
}

FrameBuf* FramePool::Acquire() {
    std::lock_guard<std::mutex> guard(m_Lock);
    FrameBuf* frame = m_FreeHead;
    if (frame) {
        m_FreeHead = frame->link;
        --m_FreeCount;
    } else {
        frame = CreateLocked();
    }
    frame->link = frame;
    frame->length = 0;
    return frame;
}

void FramePool::Release(FrameBuf* frame) {
    if (frame == nullptr || frame->link != frame) return;
    std::lock_guard<std::mutex> guard(m_Lock);
    frame->link = m_FreeHead;
    m_FreeHead = frame;
    ++m_FreeCount;
}

void FramePool::Discard(FrameBuf* frame) {
    if (frame == nullptr || frame->link != frame) return;
    Slot* slot = reinterpret_cast<Slot*>(frame);
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (slot->prevLive)
            slot->prevLive->nextLive = slot->nextLive;
        else
            m_Live = slot->nextLive;
        if (slot->nextLive) slot->nextLive->prevLive = slot->prevLive;
        --m_LiveCount;
    }
    delete slot;
}

int32_t FramePool::FreeCount() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_FreeCount;
}

int32_t FramePool::CreatedCount() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_CreatedCount;
}

int32_t FramePool::LiveCount() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_LiveCount;
}

}  // namespace jvo
