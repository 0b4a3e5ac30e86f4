#include "sim/SimUnit.h"

#include <ctime>

#include "base/MsgBuf.h"
#include "config/Codec.h"
#include "link/Commands.h"
#include "link/Readings.h"
#include "sim/SimConfigs.h"

namespace jvo::sim {

namespace {

constexpr uint8_t kReplyRefused = 'n';
constexpr size_t kMaxEventsPerLog = 1000;
constexpr uint16_t kEventLogFormatted = 1000;
constexpr uint16_t kEventStartup = 2000;
constexpr uint16_t kEventClockSet = 2003;
constexpr uint16_t kEventUserReboot = 2006;
constexpr int kServiceLog = 2;

}  // namespace

SimUnit::SimUnit(const IClock& clock, UnitConfig config, SimOptions options,
                 std::function<int64_t()> wallSeconds)
    : m_Clock(clock),
      m_Options(std::move(options)),
      m_WallSeconds(std::move(wallSeconds)),
      m_Current(config),
      m_Pending(std::move(config)),
      m_Meter(m_Options.meter) {
    if (!m_WallSeconds) m_WallSeconds = [] { return static_cast<int64_t>(std::time(nullptr)); };
    m_Sink = [this](int log, uint16_t id, uint16_t param1, uint16_t param2) {
        LogEventLocked(log, id, param1, param2);
    };
    for (uint16_t& i : m_NextIndex)
        i = m_Options.firstEventIndex;
    for (int log = 0; log < 3; ++log)
        LogEventLocked(log, kEventStartup);
    m_Meter.Reconfigure(m_Current, m_Clock.NowMs(), UnitTime(), m_Sink);
}

void SimUnit::Advance() {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Meter.Advance(m_Clock.NowMs(), m_Sink);
}

int SimUnit::SetOverload(const std::string& name, bool on) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Meter.Advance(m_Clock.NowMs(), m_Sink);
    return m_Meter.SetOverload(name, on);
}

bool SimUnit::SetVoltageFactor(int panel, double factor) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Meter.Advance(m_Clock.NowMs(), m_Sink);
    return m_Meter.SetVoltageFactor(panel, factor);
}

bool SimUnit::Accepts(uint8_t address) const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return address == 0 || address == m_Current.m_Unit.m_UnitAddr;
}

UnitConfig SimUnit::Current() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Current;
}

UnitConfig SimUnit::Pending() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Pending;
}

uint64_t SimUnit::Transactions() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Transactions;
}

std::vector<SimEvent> SimUnit::Events(int log) const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return std::vector<SimEvent>(m_Logs[log].begin(), m_Logs[log].end());
}

uint32_t SimUnit::UnitTime() const {
    return static_cast<uint32_t>(m_WallSeconds() + m_ClockOffset);
}

void SimUnit::LogEvent(int log, uint16_t id, uint16_t param1, uint16_t param2) {
    std::lock_guard<std::mutex> guard(m_Lock);
    LogEventLocked(log, id, param1, param2);
}

void SimUnit::LogEventLocked(int log, uint16_t id, uint16_t param1, uint16_t param2) {
    SimEvent e{m_NextIndex[log]++, id, UnitTime(), param1, param2};
    m_Logs[log].push_back(e);
    if (m_Logs[log].size() > kMaxEventsPerLog) m_Logs[log].pop_front();
}

bool SimUnit::Silent() const {
    return m_Clock.NowMs() < m_SilentUntilMs;
}

bool SimUnit::Restarting() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    return Silent();
}

bool SimUnit::Handle(const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                     bool refuse) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (Silent()) return false;
    ++m_Transactions;
    m_Meter.Advance(m_Clock.NowMs(), m_Sink);
    if (refuse || length < 1) {
        reply.assign(1, kReplyRefused);
        return true;
    }

    MsgBuf in(const_cast<uint8_t*>(request), length);
    MsgBuf out(1200);
    out.Put8(kReplyOk);
    const uint8_t command = in.Get8();
    bool ok = !in.Error();
    const int schema = kSchemaVersion;

    // Index arguments: a selector (0 current, 1 pending), a panel, a table entry.
    auto config = [&](uint8_t sel) -> UnitConfig* {
        return sel == 0 ? &m_Current : sel == 1 ? &m_Pending : nullptr;
    };
    auto panelArg = [&](MsgBuf& b) -> int {
        uint8_t p = b.Get8();
        return (!b.Error() && p < kPanelCount) ? p : -1;
    };

    switch (command) {
        case CMD_GET_UNIT_RECORD: {
            UnitConfig* c = config(in.Get8());
            ok = ok && c && !in.Error() && EncodeUnit(schema, out, c->m_Unit);
            break;
        }
        case CMD_SET_UNIT_RECORD: {
            UnitRecord rec;
            ok = ok && DecodeUnit(schema, in, rec);
            if (ok) m_Pending.m_Unit = rec;
            break;
        }
        case CMD_GET_PANEL_RECORD: {
            UnitConfig* c = config(in.Get8());
            int p = panelArg(in);
            ok = ok && c && p >= 0 && EncodePanel(schema, out, c->m_Panels[p]);
            break;
        }
        case CMD_SET_PANEL_RECORD: {
            int p = panelArg(in);
            PanelRecord rec;
            ok = ok && p >= 0 && DecodePanel(schema, in, rec);
            if (ok) {
                // The panel record carries the panel's own fields and its main feed only.
                PanelRecord& target = m_Pending.m_Panels[p];
                rec.m_Breakers = target.m_Breakers;
                rec.m_Subfeeds = target.m_Subfeeds;
                target = rec;
            }
            break;
        }
        case CMD_GET_BREAKER_RECORD: {
            UnitConfig* c = config(in.Get8());
            int p = panelArg(in);
            uint8_t i = in.Get8();
            ok = ok && c && p >= 0 && !in.Error() && i < kMaxBreakers &&
                 EncodeBreaker(schema, out, c->m_Panels[p].m_Breakers[i]);
            break;
        }
        case CMD_SET_BREAKER_RECORD: {
            int p = panelArg(in);
            uint8_t i = in.Get8();
            BreakerRecord rec;
            ok = ok && p >= 0 && !in.Error() && i < kMaxBreakers && DecodeBreaker(schema, in, rec);
            if (ok) m_Pending.m_Panels[p].m_Breakers[i] = rec;
            break;
        }
        case CMD_GET_SUBFEED_RECORD: {
            UnitConfig* c = config(in.Get8());
            int p = panelArg(in);
            uint8_t i = in.Get8();
            ok = ok && c && p >= 0 && !in.Error() && i < kMaxSubfeeds &&
                 EncodeSubfeed(schema, out, c->m_Panels[p].m_Subfeeds[i]);
            break;
        }
        case CMD_SET_SUBFEED_RECORD: {
            int p = panelArg(in);
            uint8_t i = in.Get8();
            SubfeedRecord rec;
            ok = ok && p >= 0 && !in.Error() && i < kMaxSubfeeds && DecodeSubfeed(schema, in, rec);
            if (ok) m_Pending.m_Panels[p].m_Subfeeds[i] = rec;
            break;
        }
        case CMD_GET_CT_RECORD: {
            UnitConfig* c = config(in.Get8());
            uint8_t i = in.Get8();
            ok = ok && c && !in.Error() && i < kCtCount && EncodeCt(schema, out, c->m_Ct[i]);
            break;
        }
        case CMD_SET_CT_RECORD: {
            uint8_t i = in.Get8();
            CtRecord rec;
            ok = ok && !in.Error() && i < kCtCount && DecodeCt(schema, in, rec);
            if (ok) m_Pending.m_Ct[i] = rec;
            break;
        }
        case CMD_COMMIT_CONFIG:
            m_Current = m_Pending;
            m_Meter.Reconfigure(m_Current, m_Clock.NowMs(), UnitTime(), m_Sink);
            break;
        case CMD_RESET_TO_DEFAULTS:
            m_Pending = MakeFactoryConfig();
            break;
        case CMD_REBOOT_UNIT:
            ok = ok && in.Get32() == kRebootCode && !in.Error();
            if (ok) {
                m_SilentUntilMs = m_Clock.NowMs() + m_Options.rebootSilenceMs;
                m_BootingRepliesLeft = m_Options.bootingStatusReplies;
                m_Pending = m_Current;
                LogEventLocked(kServiceLog, kEventUserReboot);
                for (int log = 0; log < 3; ++log)
                    LogEventLocked(log, kEventStartup);
            }
            break;
        case CMD_GET_STATUS:
            if (m_BootingRepliesLeft > 0) {
                --m_BootingRepliesLeft;
                out.Put16(m_Options.bootingState);
            } else {
                out.Put16(kUnitRunning);
            }
            out.Put32(static_cast<uint32_t>(m_Clock.NowMs() / 1000));
            break;
        case CMD_GET_DIP_ADDRESS:
            out.Put8(m_Options.dipAddress);
            break;
        case CMD_GET_VERSION:
            out.PutString(m_Options.versionText);
            out.Put16(m_Options.versionNumber1);
            out.Put16(m_Options.versionNumber2);
            out.Put16(m_Options.firmwareBuild);
            out.Put16(m_Options.hardwareVersion);
            break;
        case CMD_GET_SCHEMA_VERSION:
            out.Put16(m_Options.schemaVersion);
            break;
        case CMD_GET_AUTO_ZERO:
            out.Put8(m_AutoZero ? 1 : 0);
            break;
        case CMD_SET_AUTO_ZERO: {
            uint8_t v = in.Get8();
            ok = ok && !in.Error() && v <= 1;
            if (ok) m_AutoZero = v != 0;
            break;
        }
        case CMD_GET_CLOCK:
            out.Put32(UnitTime());
            break;
        case CMD_SET_CLOCK: {
            uint32_t t = in.Get32();
            ok = ok && !in.Error();
            if (ok) {
                const int64_t before = UnitTime();
                m_ClockOffset = static_cast<int64_t>(t) - m_WallSeconds();
                const auto diff =
                    static_cast<uint32_t>(static_cast<int32_t>(static_cast<int64_t>(t) - before));
                LogEventLocked(kServiceLog, kEventClockSet, static_cast<uint16_t>(diff >> 16),
                               static_cast<uint16_t>(diff));
            }
            break;
        }
        case CMD_GET_EVENT_LOG_STATUS: {
            uint8_t log = in.Get8();
            ok = ok && !in.Error() && log < 3;
            if (ok) {
                out.Put16(static_cast<uint16_t>(m_Logs[log].size()));
                out.Put16(static_cast<uint16_t>(m_NextIndex[log] - 1));
            }
            break;
        }
        case CMD_GET_EVENT: {
            uint8_t log = in.Get8();
            uint16_t index = in.Get16();
            ok = ok && !in.Error() && log < 3;
            const SimEvent* found = nullptr;
            if (ok)
                for (const SimEvent& e : m_Logs[log])
                    if (e.index == index) found = &e;
            ok = ok && found;
            if (ok) {
                out.Put16(found->id);
                out.Put32(found->time);
                out.Put16(found->param1);
                out.Put16(found->param2);
            }
            break;
        }
        case CMD_CLEAR_EVENT_LOG: {
            uint8_t log = in.Get8();
            ok = ok && !in.Error() && log < 3;
            if (ok) {
                m_Logs[log].clear();
                LogEventLocked(log, kEventLogFormatted);
            }
            break;
        }
        case CMD_GET_CT_READING:
        case CMD_GET_BREAKER_READING:
        case CMD_GET_SUBFEED_READING:
        case CMD_GET_PANEL_READINGS:
        case CMD_GET_PANEL_ENERGY:
        case CMD_RESET_ENERGY:
        case CMD_CLEAR_PANEL_ALARMS:
            ok = ok && Readings(command, in, out);
            break;
        default:
            ok = false;
            break;
    }

    if (!ok || out.Error()) {
        reply.assign(1, kReplyRefused);
        return true;
    }
    reply.assign(out.Base(), out.Base() + out.WritePos());
    return true;
}

bool SimUnit::Readings(uint8_t command, MsgBuf& in, MsgBuf& out) {
    const bool tag = m_Options.tagReadings;
    const float fraction = static_cast<float>(m_TaggedReadings % 64) / 64.0f;
    if (tag) ++m_TaggedReadings;
    auto tagged = [&](TagKind kind, int panel, int index = 0) {
        return static_cast<float>(ReadingKey(kind, panel, index)) + fraction;
    };
    if (command == CMD_GET_CT_READING) {
        const uint8_t ct = in.Get8();
        if (in.Error() || ct >= kCtCount) return false;
        CtReading r = m_Meter.Ct(ct);
        if (tag) r.m_IRms = r.m_Power = tagged(TagKind::Ct, 0, ct);
        return EncodeCtReading(out, r);
    }
    const uint8_t p = in.Get8();
    if (in.Error() || p >= kPanelCount) return false;
    const PanelRecord& panel = m_Current.m_Panels[p];
    switch (command) {
        case CMD_GET_BREAKER_READING: {
            const uint8_t i = in.Get8();
            if (in.Error() || i >= panel.UsedBreakers()) return false;
            BreakerReading r = m_Meter.Breaker(p, i);
            if (tag) r.m_Load = r.m_Power = tagged(TagKind::Breaker, p, i);
            return EncodeBreakerReading(out, r);
        }
        case CMD_GET_SUBFEED_READING: {
            const uint8_t i = in.Get8();
            if (in.Error() || i >= panel.UsedSubfeeds()) return false;
            SubfeedReading r = m_Meter.Subfeed(p, i);
            if (tag) r.m_Load = r.m_Power = tagged(TagKind::Subfeed, p, i);
            return EncodeSubfeedReading(out, r);
        }
        case CMD_GET_PANEL_READINGS: {
            PanelReadingsReply r = m_Meter.Panel(p);
            if (tag) r.m_MainFeed.m_Load = r.m_MainFeed.m_Power = tagged(TagKind::MainFeed, p);
            return EncodePanelReadings(out, r);
        }
        case CMD_GET_PANEL_ENERGY: {
            PanelEnergy e = m_Meter.Energy(p);
            if (tag) {
                e.m_Main = tagged(TagKind::MainEnergy, p);
                for (size_t i = 0; i < e.m_Breakers.size(); ++i)
                    e.m_Breakers[i] = tagged(TagKind::BreakerEnergy, p, static_cast<int>(i));
                for (size_t i = 0; i < e.m_Subfeeds.size(); ++i)
                    e.m_Subfeeds[i] = tagged(TagKind::SubfeedEnergy, p, static_cast<int>(i));
            }
            return EncodePanelEnergy(out, e);
        }
        case CMD_RESET_ENERGY:
            m_Meter.ResetEnergy(p);
            LogEventLocked(p, EVT_PANEL_METERING_RESET);
            return true;
        case CMD_CLEAR_PANEL_ALARMS:
            m_Meter.ClearLatched(p);
            return true;
        default:
            return false;
    }
}

}  // namespace jvo::sim
