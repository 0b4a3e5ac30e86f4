#pragma once
// MonitorApp: what lives as long as the monitor program: the service-user flag (read once at
// start-up, never written), the mailbox to the poll worker and the three event log stores.
#include <string>

#include "monitor/PollWorker.h"
#include "monitor/PolledIPC.h"
#include "monitor/ServiceUser.h"

namespace jvo::monitor {

class MonitorApp {
public:
    // Reads the service-user flag from the user's JVO.conf.
    MonitorApp() : MonitorApp(ReadServiceUserFlag()) {}
    // With a flag given directly (tests, jvoctl).
    explicit MonitorApp(bool serviceUser) : m_ServiceUser(serviceUser) {}
    MonitorApp(const MonitorApp&) = delete;
    MonitorApp& operator=(const MonitorApp&) = delete;

    bool ServiceUser() const { return m_ServiceUser; }
    CPolledIPC& Mailbox() { return m_Mailbox; }
    EventLogStores& Logs() { return m_Logs; }

private:
    const bool m_ServiceUser;
    CPolledIPC m_Mailbox;
    EventLogStores m_Logs;
};

}  // namespace jvo::monitor
