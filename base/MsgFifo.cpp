#include "base/MsgFifo.h"

namespace jvo {

void MsgFifo::Push(int32_t code, std::unique_ptr<RecBuf> buffer, int32_t value1, int32_t value2,
                   int32_t value3) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_List.empty()) m_Ready.Set();
    m_List.push_back(Entry{code, std::move(buffer), value1, value2, value3});
}

bool MsgFifo::Pop(Entry& out) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_List.empty()) return false;
    out = std::move(m_List.front());
    m_List.pop_front();
    if (m_List.empty()) m_Ready.Clear();
    return true;
}

bool MsgFifo::Pop(int32_t* code, std::unique_ptr<RecBuf>* buffer) {
    Entry e;
    if (!Pop(e)) return false;
    if (code) *code = e.code;
    if (buffer) *buffer = std::move(e.buffer);
    return true;
}

size_t MsgFifo::Size() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_List.size();
}

}  // namespace jvo
