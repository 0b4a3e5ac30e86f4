#include "monitor/PolledIPC.h"

namespace jvo::monitor {

int CPolledIPC::Post(int cmd, int param, int32_t timeoutMs) {
    std::lock_guard<std::mutex> post(m_PostLock);
    m_Response.Clear();  // a reply that came after an earlier Post gave up
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Cmd = cmd;
        m_Param = param;
    }
    m_Request.Set();
    m_Posted.store(true, std::memory_order_release);
    if (!m_Response.Wait(timeoutMs)) return -1;
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Reply;
}

bool CPolledIPC::Wait(int& cmd, int& param, int32_t timeoutMs) {
    if (!m_Request.Wait(timeoutMs)) return false;
    std::lock_guard<std::mutex> lock(m_Lock);
    cmd = m_Cmd;
    param = m_Param;
    return true;
}

void CPolledIPC::Reply(int value) {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Reply = value;
    }
    m_Response.Set();
}

}  // namespace jvo::monitor
