#pragma once
// UnitClient: the command layer. One operation per unit command: it writes the command code and
// arguments, runs the transaction and checks and decodes the reply. A command succeeds only on a
// matching reply whose code is 'd' (and, where noted, a reply that holds all its results).
// A client is made for one job and released after it; several may share one UnitLink.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/MsgBuf.h"
#include "config/UnitConfig.h"
#include "link/Commands.h"
#include "link/Exchange.h"
#include "link/LinkStatus.h"
#include "link/Readings.h"
#include "link/UnitLink.h"

namespace jvo {

struct VersionInfo {
    std::string m_Text;
    uint16_t m_Number1 = 0;
    uint16_t m_Number2 = 0;
    uint16_t m_FirmwareBuild = 0;
    uint16_t m_HardwareVersion = 0;
};

// One reading a run asks for (UnitClient::GetReadings).
enum class ReadingKind : uint8_t { Ct, Clock, Breaker, Subfeed, Panel, Energy };
struct ReadingAsk {
    ReadingKind kind = ReadingKind::Ct;
    uint8_t panel = 0;  // breakers, subfeeds, panel readings and energy
    uint8_t index = 0;  // the CT, breaker or subfeed
};
// What it brought, by its kind (the clock: seconds).
using ReadingGot = std::variant<CtReading, int64_t, BreakerReading, SubfeedReading,
                                PanelReadingsReply, PanelEnergy>;
// The command that asks for a reading of this kind.
uint8_t ReadingCommand(ReadingKind kind);

class UnitClient {
public:
    UnitClient(UnitLink* link, int address);

    // The reply time-out of this client's transactions (kDefaultReplyTimeoutMs unless set; a
    // negative value restores that default). It is the client's own: no other caller of the link
    // sees it. Commands that need longer of their own (CommitConfig, ResetEnergy) take the longer
    // of theirs and this one.
    void SetReplyTimeoutMs(int32_t ms) { m_ReplyTimeoutMs = ms < 0 ? kDefaultReplyTimeoutMs : ms; }
    int32_t ReplyTimeoutMs() const { return m_ReplyTimeoutMs; }

    // Why this client's last command ended as it did (Done after a success). Each client keeps
    // its own, so callers sharing a link never see each other's.
    const LinkStatus& Status() const { return m_Status; }
    // How GetSchemaVersionRepeated pauses between attempts (tests make it instant).
    void SetSleeper(std::function<void(int32_t)> sleeper) { m_Sleep = std::move(sleeper); }

    bool GetEventLogStatus(uint8_t log, uint16_t& count, uint16_t& newest);
    bool GetEvent(uint8_t log, uint16_t index, EventRecord& event);
    bool ClearEventLog(uint8_t log);
    bool GetUnitRecord(uint8_t sel, UnitRecord& rec);
    bool SetUnitRecord(const UnitRecord& rec);
    bool GetPanelRecord(uint8_t sel, uint8_t panel, PanelRecord& rec);
    bool SetPanelRecord(uint8_t panel, const PanelRecord& rec);
    bool GetBreakerRecord(uint8_t sel, uint8_t panel, uint8_t breaker, BreakerRecord& rec);
    bool SetBreakerRecord(uint8_t panel, uint8_t breaker, const BreakerRecord& rec);
    bool GetCtRecord(uint8_t sel, uint8_t ct, CtRecord& rec);
    bool SetCtRecord(uint8_t ct, const CtRecord& rec);
    // Waits up to 10 s (or the client's longer time-out) for the reply.
    bool CommitConfig();
    bool RebootUnit();
    bool GetStatus(uint16_t& state, uint32_t& value);
    // Always sent to address 0, whatever the client's address.
    bool GetDipAddress(uint8_t& address);
    bool GetVersion(VersionInfo& info);
    bool GetPanelReadings(uint8_t panel, PanelReadingsReply& readings);
    bool GetBreakerReading(uint8_t panel, uint8_t breaker, BreakerReading& reading);
    bool GetCtReading(uint8_t ct, CtReading& reading);
    // The readings `asks` names, asked in one run (pipelined through a proxy server; at most
    // kMaxRun at a time). Returns how many in a row, from the first, were read into `out`;
    // Status() says why the next one was not (Done when all were).
    int GetReadings(const ReadingAsk* asks, int count, ReadingGot* out);
    static constexpr int kMaxRun = ProxyConnection::kMaxRun;
    bool ClearPanelAlarms(uint8_t panel);
    bool GetClock(int64_t& seconds);
    bool SetClock(uint32_t seconds);
    bool GetPanelEnergy(uint8_t panel, PanelEnergy& energy);
    bool GetSubfeedRecord(uint8_t sel, uint8_t panel, uint8_t subfeed, SubfeedRecord& rec);
    bool SetSubfeedRecord(uint8_t panel, uint8_t subfeed, const SubfeedRecord& rec);
    bool GetSubfeedReading(uint8_t panel, uint8_t subfeed, SubfeedReading& reading);
    bool ResetToDefaults();
    bool ResetEnergy(uint8_t panel);
    bool GetSchemaVersion(uint16_t& version);
    bool GetAutoZero(bool& on);
    bool SetAutoZero(bool on);

    // Asks up to `attempts` (1..100) times, pausing 100 ms after each failed request; the first
    // answer decides: true when it is the supported version. `supported` receives 4.
    bool GetSchemaVersionRepeated(int attempts, uint16_t& version, int& supported);

    UnitLink* Link() const { return m_Link; }
    int Address() const { return m_Address; }

private:
    // Starts a request with the command code.
    MsgBuf& Begin(uint8_t command);
    // Runs the transaction; true when it matched and the reply code is 'd'.
    bool Run(int address = -1, int32_t timeoutMs = -1);
    // The request and reply of the run's `index`th exchange (0: m_Request and m_Reply).
    MsgBuf& RequestAt(int index);
    MsgBuf& ReplyAt(int index);
    // Runs the requests RequestAt(0..count-1) hold as one run; returns how many in a row were
    // answered 'd'. m_Status is the first failure's (or Done).
    int RunMany(int count, int address, int32_t timeoutMs);

    // For commands that must read all their results without error: false (BadReply) when not.
    bool NoError() { return Decoded(!m_Reply.Error()); }
    // The result of decoding a reply's results; false marks the status BadReply.
    bool Decoded(bool ok);

    UnitLink* m_Link;
    MsgBuf m_Request{1200};
    MsgBuf m_Reply{1200};
    struct Slot {
        MsgBuf request{64};  // runs carry readings requests of a few bytes
        MsgBuf reply{1200};
    };
    std::vector<std::unique_ptr<Slot>> m_Slots;  // the exchanges of a run after the first
    std::vector<Exchange> m_Run;                 // a run's exchanges (kept: no allocations)
    int m_Address;
    int m_Schema = 4;
    int32_t m_ReplyTimeoutMs = kDefaultReplyTimeoutMs;
    LinkStatus m_Status;
    std::function<void(int32_t)> m_Sleep;
};

}  // namespace jvo
