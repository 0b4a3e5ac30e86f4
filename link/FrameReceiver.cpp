#include "link/FrameReceiver.h"

#include <chrono>

#include "link/Crc16.h"

namespace jvo {

size_t BuildWireFrame(const uint8_t* data, size_t count, uint8_t* out, size_t capacity) {
    size_t n = 0;
    if (capacity < 2) return 0;
    out[n++] = kFrameFlag;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = data[i];
        if (b == kFrameFlag || b == kFrameEscape) {
            if (capacity - n < 3) return 0;  // two bytes plus the closing flag
            out[n++] = kFrameEscape;
            out[n++] = static_cast<uint8_t>(b ^ kFrameEscapeXor);
        } else {
            if (capacity - n < 2) return 0;
            out[n++] = b;
        }
    }
    out[n++] = kFrameFlag;
    return n;
}

FrameQueue::FrameQueue() = default;

FrameQueue::~FrameQueue() {
    while (m_Head) {
        FrameBuf* frame = m_Head;
        m_Head = frame->link;
        frame->link = frame;
        FramePool::Instance().Release(frame);
    }
}

bool FrameQueue::Append(FrameBuf* frame) {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Count < kMaxFrames) {
            frame->link = nullptr;
            if (m_Tail)
                m_Tail->link = frame;
            else
                m_Head = frame;
            m_Tail = frame;
            ++m_Count;
            if (m_Waiters > 0 && !m_EventSet) {
                m_EventSet = true;
                m_FramesWaiting.Set();
            }
            return true;
        }
    }
    // Queue full: the newest frame is dropped and its buffer freed, not kept for reuse.
    FramePool::Instance().Discard(frame);
    return false;
}

FrameBuf* FrameQueue::PopLocked() {
    FrameBuf* frame = m_Head;
    m_Head = frame->link;
    if (m_Head == nullptr) {
        m_Tail = nullptr;
        if (m_EventSet) {
            m_EventSet = false;
            m_FramesWaiting.Clear();
        }
    }
    --m_Count;
    frame->link = frame;
    return frame;
}

FrameBuf* FrameQueue::Take(int32_t timeoutMs, const SyncEvent* cancel) {
    using Clock = std::chrono::steady_clock;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Head) return PopLocked();
        if (timeoutMs == 0 && cancel == nullptr) return nullptr;
        ++m_Waiters;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    FrameBuf* frame = nullptr;
    for (;;) {
        int32_t wait = kWaitForever;
        if (timeoutMs >= 0) {
            // Rounded up, so that a time-out is never reported before it has fully passed.
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            wait = left.count() > 0 ? static_cast<int32_t>(left.count()) : 0;
        }
        const bool cancelled = WaitAny({&m_FramesWaiting, cancel}, wait) == 1;
        std::lock_guard<std::mutex> guard(m_Lock);
        // A frame that is already queued is still handed out, cancelled or not.
        if (m_Head) {
            frame = PopLocked();
            break;
        }
        if (cancelled || (timeoutMs >= 0 && Clock::now() >= deadline)) break;
        // Another taker emptied the queue between the wait and the lock: wait on.
    }
    std::lock_guard<std::mutex> guard(m_Lock);
    --m_Waiters;
    return frame;
}

int32_t FrameQueue::Count() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Count;
}

FrameReceiver::FrameReceiver(FrameQueue& queue)
    : m_Queue(queue), m_Current(FramePool::Instance().Acquire()) {}

FrameReceiver::~FrameReceiver() {
    FramePool::Instance().Release(m_Current);
}

void FrameReceiver::Reset() {
    m_EscapePending = false;
    m_Discard = false;
    m_Current->length = 0;
}

void FrameReceiver::EndOfFrame() {
    FrameBuf* cur = m_Current;
    if (m_Discard) {
        // The frame was already counted when it went bad.
    } else if (m_EscapePending) {
        Bump(m_BadEscapes);
    } else if (cur->length == 0) {
        // Back-to-back flags: nothing to deliver.
    } else if (cur->length < 3) {
        Bump(m_ShortFrames);
    } else if (!Crc16Check(cur->data, static_cast<size_t>(cur->length))) {
        Bump(m_CrcErrors);
    } else {
        cur->length -= 2;  // drop the check sequence
        m_Queue.Append(cur);
        m_Current = FramePool::Instance().Acquire();
    }
    Reset();
}

void FrameReceiver::Feed(uint8_t b) {
    if (b == kFrameFlag) {
        EndOfFrame();
        return;
    }
    if (m_Discard) return;
    FrameBuf* cur = m_Current;
    if (m_EscapePending) {
        m_EscapePending = false;
        if (b == (kFrameEscape ^ kFrameEscapeXor) || b == (kFrameFlag ^ kFrameEscapeXor)) {
            // An escape is only taken while the frame is below its limit, so this fits.
            cur->data[cur->length++] = static_cast<uint8_t>(b ^ kFrameEscapeXor);
        } else {
            Bump(m_BadEscapes);
            m_Discard = true;
        }
        return;
    }
    if (cur->length >= kMaxRecvFrame) {
        Bump(m_Overruns);
        m_Discard = true;
        return;
    }
    if (b == kFrameEscape)
        m_EscapePending = true;
    else
        cur->data[cur->length++] = b;
}

void FrameReceiver::Feed(const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i)
        Feed(data[i]);
}

}  // namespace jvo
