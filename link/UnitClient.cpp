#include "link/UnitClient.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "config/Codec.h"
#include "link/Commands.h"

namespace jvo {

UnitClient::UnitClient(UnitLink* link, int address) : m_Link(link), m_Address(address) {
    m_Sleep = [](int32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
}

MsgBuf& UnitClient::Begin(uint8_t command) {
    m_Request.Rewind(0, 0);
    m_Request.Put8(command);
    return m_Request;
}

MsgBuf& UnitClient::RequestAt(int index) {
    if (index == 0) return m_Request;
    while (m_Slots.size() < static_cast<size_t>(index))
        m_Slots.push_back(std::make_unique<Slot>());
    return m_Slots[static_cast<size_t>(index - 1)]->request;
}

MsgBuf& UnitClient::ReplyAt(int index) {
    if (index == 0) return m_Reply;
    RequestAt(index);
    return m_Slots[static_cast<size_t>(index - 1)]->reply;
}

bool UnitClient::Run(int address, int32_t timeoutMs) {
    return RunMany(1, address, timeoutMs) == 1;
}

int UnitClient::RunMany(int count, int address, int32_t timeoutMs) {
    count = std::clamp(count, 1, kMaxRun);
    // A request whose building overran its buffer is a failed command; it and those after it are
    // not sent.
    int sendable = 0;
    while (sendable < count && !RequestAt(sendable).Error())
        ++sendable;
    if (m_Run.size() < static_cast<size_t>(count)) m_Run.resize(static_cast<size_t>(count));
    Exchange* exchanges = m_Run.data();
    for (int i = 0; i < sendable; ++i) {
        exchanges[i].request = &RequestAt(i);
        exchanges[i].reply = &ReplyAt(i);
    }
    if (timeoutMs < 0) timeoutMs = m_ReplyTimeoutMs;
    const int answered = sendable == 0
                             ? 0
                             : m_Link->TransactMany(address < 0 ? m_Address : address, exchanges,
                                                    sendable, kProtocolByte, timeoutMs);
    int done = 0;
    for (; done < answered; ++done) {
        MsgBuf& reply = *exchanges[done].reply;
        LinkStatus& st = exchanges[done].status;
        const uint8_t command = st.command;
        const uint8_t code = reply.Get8();
        if (reply.Error()) {
            st = LinkStatus::Of(LinkResult::BadReply, "an empty reply");
        } else if (code != kReplyOk) {
            st = LinkStatus::Of(LinkResult::Refused);
            st.replyCode = code;
        }
        st.command = command;
        if (!st.Ok()) break;
    }
    if (done < sendable) {
        m_Status = std::move(exchanges[done].status);
    } else if (done < count) {
        // Not sent, so not consumed: its command code is still there.
        const MsgBuf& request = RequestAt(done);
        m_Status = LinkStatus::Of(LinkResult::InvalidRequest, "the request overran its buffer");
        m_Status.command = request.Unread() > 0 ? request.ReadPtr()[0] : 0;
    } else {
        m_Status = std::move(exchanges[count - 1].status);
    }
    return done;
}

bool UnitClient::Decoded(bool ok) {
    if (!ok && m_Status.Ok()) {
        const uint8_t command = m_Status.command;
        m_Status = LinkStatus::Of(LinkResult::BadReply, "its results are short or malformed");
        m_Status.command = command;
    }
    return ok;
}

bool UnitClient::GetEventLogStatus(uint8_t log, uint16_t& count, uint16_t& newest) {
    Begin(CMD_GET_EVENT_LOG_STATUS).Put8(log);
    if (!Run()) return false;
    count = m_Reply.Get16();
    newest = m_Reply.Get16();
    return NoError();
}

bool UnitClient::GetEvent(uint8_t log, uint16_t index, EventRecord& event) {
    Begin(CMD_GET_EVENT).Put8(log);
    m_Request.Put16(index);
    if (!Run()) return false;
    event.m_Index = index;
    event.m_Id = m_Reply.Get16();
    event.m_Time = static_cast<int64_t>(m_Reply.Get32());
    event.m_Param1 = m_Reply.Get16();
    event.m_Param2 = m_Reply.Get16();
    return NoError();
}

bool UnitClient::ClearEventLog(uint8_t log) {
    Begin(CMD_CLEAR_EVENT_LOG).Put8(log);
    return Run();
}

bool UnitClient::GetUnitRecord(uint8_t sel, UnitRecord& rec) {
    Begin(CMD_GET_UNIT_RECORD).Put8(sel);
    return Run() && Decoded(DecodeUnit(m_Schema, m_Reply, rec));
}

bool UnitClient::SetUnitRecord(const UnitRecord& rec) {
    EncodeUnit(m_Schema, Begin(CMD_SET_UNIT_RECORD), rec);
    return Run();
}

bool UnitClient::GetPanelRecord(uint8_t sel, uint8_t panel, PanelRecord& rec) {
    Begin(CMD_GET_PANEL_RECORD).Put8(sel);
    m_Request.Put8(panel);
    return Run() && Decoded(DecodePanel(m_Schema, m_Reply, rec));
}

bool UnitClient::SetPanelRecord(uint8_t panel, const PanelRecord& rec) {
    Begin(CMD_SET_PANEL_RECORD).Put8(panel);
    EncodePanel(m_Schema, m_Request, rec);
    return Run();
}

bool UnitClient::GetBreakerRecord(uint8_t sel, uint8_t panel, uint8_t breaker, BreakerRecord& rec) {
    Begin(CMD_GET_BREAKER_RECORD).Put8(sel);
    m_Request.Put8(panel);
    m_Request.Put8(breaker);
    return Run() && Decoded(DecodeBreaker(m_Schema, m_Reply, rec));
}

bool UnitClient::SetBreakerRecord(uint8_t panel, uint8_t breaker, const BreakerRecord& rec) {
    Begin(CMD_SET_BREAKER_RECORD).Put8(panel);
    m_Request.Put8(breaker);
    EncodeBreaker(m_Schema, m_Request, rec);
    return Run();
}

bool UnitClient::GetCtRecord(uint8_t sel, uint8_t ct, CtRecord& rec) {
    Begin(CMD_GET_CT_RECORD).Put8(sel);
    m_Request.Put8(ct);
    return Run() && Decoded(DecodeCt(m_Schema, m_Reply, rec));
}

bool UnitClient::SetCtRecord(uint8_t ct, const CtRecord& rec) {
    Begin(CMD_SET_CT_RECORD).Put8(ct);
    EncodeCt(m_Schema, m_Request, rec);
    return Run();
}

bool UnitClient::CommitConfig() {
    Begin(CMD_COMMIT_CONFIG);
    // A client given a longer reply time-out (a slow route) keeps it for the commit as well.
    return Run(-1, std::max(kCommitTimeoutMs, m_ReplyTimeoutMs));
}

bool UnitClient::RebootUnit() {
    Begin(CMD_REBOOT_UNIT).Put32(kRebootCode);
    return Run();
}

bool UnitClient::GetStatus(uint16_t& state, uint32_t& value) {
    Begin(CMD_GET_STATUS);
    if (!Run()) return false;
    state = m_Reply.Get16();
    value = m_Reply.Get32();
    return NoError();
}

bool UnitClient::GetDipAddress(uint8_t& address) {
    Begin(CMD_GET_DIP_ADDRESS);
    if (!Run(0)) return false;
    address = m_Reply.Get8();
    return NoError();
}

bool UnitClient::GetVersion(VersionInfo& info) {
    Begin(CMD_GET_VERSION);
    if (!Run()) return false;
    info.m_Text = m_Reply.GetString();
    info.m_Number1 = m_Reply.Get16();
    info.m_Number2 = m_Reply.Get16();
    info.m_FirmwareBuild = m_Reply.Get16();
    info.m_HardwareVersion = m_Reply.Get16();
    return NoError();
}

bool UnitClient::GetPanelReadings(uint8_t panel, PanelReadingsReply& readings) {
    Begin(CMD_GET_PANEL_READINGS).Put8(panel);
    return Run() && Decoded(DecodePanelReadings(m_Reply, readings));
}

bool UnitClient::GetBreakerReading(uint8_t panel, uint8_t breaker, BreakerReading& reading) {
    Begin(CMD_GET_BREAKER_READING).Put8(panel);
    m_Request.Put8(breaker);
    return Run() && Decoded(DecodeBreakerReading(m_Reply, reading));
}

bool UnitClient::GetCtReading(uint8_t ct, CtReading& reading) {
    Begin(CMD_GET_CT_READING).Put8(ct);
    return Run() && Decoded(DecodeCtReading(m_Reply, reading));
}

uint8_t ReadingCommand(ReadingKind kind) {
    switch (kind) {
        case ReadingKind::Ct:
            return CMD_GET_CT_READING;
        case ReadingKind::Clock:
            return CMD_GET_CLOCK;
        case ReadingKind::Breaker:
            return CMD_GET_BREAKER_READING;
        case ReadingKind::Subfeed:
            return CMD_GET_SUBFEED_READING;
        case ReadingKind::Panel:
            return CMD_GET_PANEL_READINGS;
        case ReadingKind::Energy:
            return CMD_GET_PANEL_ENERGY;
    }
    return 0;
}

namespace {

// The request of one reading: its command code and arguments.
void PutAsk(MsgBuf& request, const ReadingAsk& ask) {
    request.Rewind(0, 0);
    request.Put8(ReadingCommand(ask.kind));
    switch (ask.kind) {
        case ReadingKind::Ct:
            request.Put8(ask.index);
            break;
        case ReadingKind::Clock:
            break;
        case ReadingKind::Breaker:
        case ReadingKind::Subfeed:
            request.Put8(ask.panel);
            request.Put8(ask.index);
            break;
        case ReadingKind::Panel:
        case ReadingKind::Energy:
            request.Put8(ask.panel);
            break;
    }
}

// Decodes one reading's results (after the reply code); false when short or malformed.
bool TakeAsk(MsgBuf& reply, ReadingKind kind, ReadingGot& got) {
    switch (kind) {
        case ReadingKind::Ct:
            return DecodeCtReading(reply, got.emplace<CtReading>());
        case ReadingKind::Clock:
            got.emplace<int64_t>(static_cast<int64_t>(reply.Get32()));
            return !reply.Error();
        case ReadingKind::Breaker:
            return DecodeBreakerReading(reply, got.emplace<BreakerReading>());
        case ReadingKind::Subfeed:
            return DecodeSubfeedReading(reply, got.emplace<SubfeedReading>());
        case ReadingKind::Panel:
            return DecodePanelReadings(reply, got.emplace<PanelReadingsReply>());
        case ReadingKind::Energy:
            return DecodePanelEnergy(reply, got.emplace<PanelEnergy>());
    }
    return false;
}

}  // namespace

int UnitClient::GetReadings(const ReadingAsk* asks, int count, ReadingGot* out) {
    count = std::min(count, kMaxRun);
    if (count <= 0) return 0;
    for (int i = 0; i < count; ++i)
        PutAsk(RequestAt(i), asks[i]);
    const int done = RunMany(count, -1, -1);
    for (int i = 0; i < done; ++i) {
        if (TakeAsk(ReplyAt(i), asks[i].kind, out[i])) continue;
        m_Status = LinkStatus::Of(LinkResult::BadReply, "its results are short or malformed");
        m_Status.command = ReadingCommand(asks[i].kind);
        return i;
    }
    return done;
}

bool UnitClient::ClearPanelAlarms(uint8_t panel) {
    Begin(CMD_CLEAR_PANEL_ALARMS).Put8(panel);
    return Run() && NoError();
}

bool UnitClient::GetClock(int64_t& seconds) {
    Begin(CMD_GET_CLOCK);
    if (!Run()) return false;
    seconds = static_cast<int64_t>(m_Reply.Get32());
    return NoError();
}

bool UnitClient::SetClock(uint32_t seconds) {
    Begin(CMD_SET_CLOCK).Put32(seconds);
    return Run();
}

bool UnitClient::GetPanelEnergy(uint8_t panel, PanelEnergy& energy) {
    Begin(CMD_GET_PANEL_ENERGY).Put8(panel);
    return Run() && Decoded(DecodePanelEnergy(m_Reply, energy));
}

bool UnitClient::GetSubfeedRecord(uint8_t sel, uint8_t panel, uint8_t subfeed, SubfeedRecord& rec) {
    Begin(CMD_GET_SUBFEED_RECORD).Put8(sel);
    m_Request.Put8(panel);
    m_Request.Put8(subfeed);
    return Run() && Decoded(DecodeSubfeed(m_Schema, m_Reply, rec));
}

bool UnitClient::SetSubfeedRecord(uint8_t panel, uint8_t subfeed, const SubfeedRecord& rec) {
    Begin(CMD_SET_SUBFEED_RECORD).Put8(panel);
    m_Request.Put8(subfeed);
    EncodeSubfeed(m_Schema, m_Request, rec);
    return Run();
}

bool UnitClient::GetSubfeedReading(uint8_t panel, uint8_t subfeed, SubfeedReading& reading) {
    Begin(CMD_GET_SUBFEED_READING).Put8(panel);
    m_Request.Put8(subfeed);
    return Run() && Decoded(DecodeSubfeedReading(m_Reply, reading));
}

bool UnitClient::ResetToDefaults() {
    Begin(CMD_RESET_TO_DEFAULTS);
    return Run();
}

bool UnitClient::ResetEnergy(uint8_t panel) {
    Begin(CMD_RESET_ENERGY).Put8(panel);
    return Run(-1, std::max(kResetEnergyTimeoutMs, m_ReplyTimeoutMs));
}

bool UnitClient::GetSchemaVersion(uint16_t& version) {
    Begin(CMD_GET_SCHEMA_VERSION);
    if (!Run()) return false;
    version = m_Reply.Get16();
    return NoError();
}

bool UnitClient::GetAutoZero(bool& on) {
    Begin(CMD_GET_AUTO_ZERO);
    if (!Run()) return false;
    on = m_Reply.GetBool();
    return NoError();
}

bool UnitClient::SetAutoZero(bool on) {
    Begin(CMD_SET_AUTO_ZERO).Put8(on ? 1 : 0);
    return Run() && NoError();
}

bool UnitClient::GetSchemaVersionRepeated(int attempts, uint16_t& version, int& supported) {
    supported = kSchemaVersion;
    version = 0;
    if (attempts < 1 || attempts > 100) return false;
    for (int i = 0; i < attempts; ++i) {
        uint16_t v = 0;
        if (GetSchemaVersion(v)) {
            version = v;
            return v == kSchemaVersion;
        }
        m_Sleep(100);
    }
    version = 0;
    return false;
}

}  // namespace jvo
