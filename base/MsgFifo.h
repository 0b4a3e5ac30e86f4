#pragma once
// MsgFifo: a locked FIFO of entries (code, optional RecBuf, three values) with an event that is
// set exactly while the queue holds at least one entry. Carries buffers and notices between
// threads; the event's descriptor can be polled together with a socket.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "base/RecBuf.h"
#include "base/SyncEvent.h"

namespace jvo {

class MsgFifo {
public:
    struct Entry {
        int32_t code = 0;
        std::unique_ptr<RecBuf> buffer;  // may be null; ownership travels with the entry
        int32_t value1 = 0;
        int32_t value2 = 0;
        int32_t value3 = 0;
    };

    MsgFifo() = default;
    MsgFifo(const MsgFifo&) = delete;
    MsgFifo& operator=(const MsgFifo&) = delete;

    void Push(int32_t code, std::unique_ptr<RecBuf> buffer = nullptr, int32_t value1 = 0,
              int32_t value2 = 0, int32_t value3 = 0);
    // False when empty; else removes the head entry into `out`.
    bool Pop(Entry& out);
    bool Pop(int32_t* code = nullptr, std::unique_ptr<RecBuf>* buffer = nullptr);
    // True when an entry is (or becomes) available within timeoutMs.
    bool Wait(int32_t timeoutMs) { return m_Ready.Wait(timeoutMs); }
    SyncEvent& ReadyEvent() { return m_Ready; }
    size_t Size() const;

private:
    SyncEvent m_Ready{SyncEvent::Reset::Manual};
    mutable std::mutex m_Lock;
    std::deque<Entry> m_List;
};

}  // namespace jvo
