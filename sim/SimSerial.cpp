#include "sim/SimSerial.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>

#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/Crc16.h"
#include "link/FrameReceiver.h"
#include "link/PortDirectory.h"
#include "sim/Pacing.h"

namespace jvo::sim {

namespace {

// How often the pty is looked at for an exclusive mode whose program is gone.
constexpr int kExclusiveCheckMs = 100;

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int64_t FrameWireBytes(const uint8_t* body, size_t length) {
    const uint16_t fcs = Crc16Compute(body, length);
    const uint8_t check[2] = {static_cast<uint8_t>(fcs), static_cast<uint8_t>(fcs >> 8)};
    int64_t n = 2 + static_cast<int64_t>(length) + 2;
    auto escapes = [](const uint8_t* p, size_t count) {
        int64_t e = 0;
        for (size_t i = 0; i < count; ++i)
            if (p[i] == kFrameFlag || p[i] == kFrameEscape) ++e;
        return e;
    };
    return n + escapes(body, length) + escapes(check, 2);
}

SimSerialPort::SimSerialPort(SimUnit& unit, SerialOptions options)
    : m_Unit(unit),
      m_Options(options),
      m_Faults(options.faults),
      m_Plan(options.faults.Unit()),
      m_Random(options.faults.seed) {}

SimSerialPort::~SimSerialPort() {
    Stop();
}

bool SimSerialPort::Start() {
    if (m_Thread.joinable()) return true;
    if (!m_Pty.Open()) return false;
    m_Wake.Clear();
    m_Thread = std::thread([this] { Run(); });
    return true;
}

void SimSerialPort::Stop() {
    if (m_Thread.joinable()) {
        m_Wake.Set();
        m_Thread.join();
    }
    if (!m_PinPath.empty()) {
        UnpinComPort(m_PinPath, m_Pty.SlavePath());
        m_PinPath.clear();
    }
    m_Pty.Close();
}

bool SimSerialPort::Pin(int comNumber, const std::string& portDir, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (!m_Pty.IsOpen()) return fail("the simulated unit has no pseudo-terminal");
    std::string why;
    if (!PinComPort(comNumber, portDir, m_Pty.SlavePath(), m_PinPath, why)) return fail(why);
    return true;
}

void SimSerialPort::SetFaults(const SerialFaults& faults) {
    std::lock_guard<std::mutex> guard(m_FaultLock);
    m_Faults = faults;
    m_Plan.Set(faults.Unit());
}

SerialFaultCounts SimSerialPort::FaultCounts() const {
    std::lock_guard<std::mutex> guard(m_CountLock);
    return m_Counts;
}

uint64_t SimSerialPort::IdleMs() const {
    const int64_t last = m_LastFrameMs.load();
    return last < 0 ? UINT64_MAX : static_cast<uint64_t>(SteadyMs() - last);
}

bool SimSerialPort::Chance(double fraction) {
    if (fraction <= 0) return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_Random) < fraction;
}

void SimSerialPort::Run() {
    FrameQueue queue;
    FrameReceiver receiver(queue);
    std::vector<uint8_t> buffer(40960);
    int64_t exclusiveCheckedMs = SteadyMs();
    for (;;) {
        const Pty::WaitResult w = m_Pty.WaitInput(&m_Wake, kExclusiveCheckMs);
        // A program killed while it had the port leaves it in exclusive mode; a unit on a real
        // line knows nothing of that, and the next program must be able to open the port.
        if (SteadyMs() - exclusiveCheckedMs >= kExclusiveCheckMs) {
            exclusiveCheckedMs = SteadyMs();
            if (m_Pty.ClearAbandonedExclusive())
                JVO_LOG2(
                    "SimSerialPort::Run() %s: cleared the exclusive mode left by a program "
                    "that ended without closing the port",
                    m_Pty.SlavePath());
        }
        if (w == Pty::WaitResult::Woken || w == Pty::WaitResult::Gone) return;
        if (w == Pty::WaitResult::Readable) {
            const int64_t got = m_Pty.Read(buffer.data(), buffer.size(), 0);
            if (got > 0) {
                m_BytesReceived += static_cast<uint64_t>(got);
                receiver.Feed(buffer.data(), static_cast<size_t>(got));
            }
        } else if (w == Pty::WaitResult::HungUp) {
            // Nobody has the port open (cannot happen while the pty keeps its slave open).
            if (m_Wake.Wait(10)) return;
        }
        while (FrameBuf* frame = queue.Take(0)) {
            ++m_FramesReceived;
            m_LastFrameMs = SteadyMs();
            Answer(frame->data, frame->length);
            FramePool::Instance().Release(frame);
        }
    }
}

void SimSerialPort::Answer(const uint8_t* body, int32_t length) {
    const auto received = std::chrono::steady_clock::now();
    if (length < 5 || body[1] != kHostAddress || !m_Unit.Accepts(body[0])) return;
    SerialFaults faults;
    {
        std::lock_guard<std::mutex> guard(m_FaultLock);
        faults = m_Faults;
    }
    auto count = [this](uint64_t SerialFaultCounts::*which) {
        std::lock_guard<std::mutex> guard(m_CountLock);
        ++(m_Counts.*which);
    };

    std::vector<uint8_t> payload;
    uint32_t delayMs = 0;
    if (!m_Plan.Handle(m_Unit, body + 4, length - 4, payload, delayMs)) return;

    std::vector<uint8_t> reply{kHostAddress, body[0], body[2], body[3]};
    reply.insert(reply.end(), payload.begin(), payload.end());
    // A reply held back earlier goes out after this one (or instead of it, when this one is lost).
    std::vector<uint8_t> held = std::move(m_HeldReply);
    m_HeldReply.clear();
    auto sendHeld = [&] {
        if (!held.empty()) SendBody(std::move(held), false);
    };

    if (Chance(faults.dropFraction)) {
        count(&SerialFaultCounts::dropped);
        m_LastReply = reply;
        sendHeld();
        return;
    }
    if (Chance(faults.staleFraction) && !m_LastReply.empty()) {
        count(&SerialFaultCounts::stale);
        SendBody(m_LastReply, false);
    }
    if (Chance(faults.foreignFraction)) {
        count(&SerialFaultCounts::foreign);
        std::vector<uint8_t> other = reply;
        other[1] = static_cast<uint8_t>(other[1] + 1);
        SendBody(other, false);
        other = reply;
        other[3] = static_cast<uint8_t>(other[3] + 1);
        SendBody(other, false);
    }
    if (delayMs > 0) {
        count(&SerialFaultCounts::late);
        if (m_Wake.Wait(static_cast<int32_t>(delayMs))) return;
    }
    if (m_Options.baud > 0) {
        // The request arrived at once over the pty; a real line needs 10 bit times per byte for
        // both frames, check sequences, escapes and flags included.
        const int64_t bytes = FrameWireBytes(body, static_cast<size_t>(length)) +
                              FrameWireBytes(reply.data(), reply.size());
        const auto wire = std::chrono::microseconds(WireMicros(bytes, m_Options.baud));
        if (PaceUntil(received + wire, &m_Wake)) return;
    }
    m_LastReply = reply;
    if (Chance(faults.reorderFraction)) {
        count(&SerialFaultCounts::reordered);
        sendHeld();
        m_HeldReply = std::move(reply);
        return;
    }
    const bool corrupt = Chance(faults.corruptFraction);
    if (corrupt) count(&SerialFaultCounts::corrupted);
    const bool duplicate = Chance(faults.duplicateFraction);
    if (duplicate) {
        count(&SerialFaultCounts::duplicated);
        SendBody(reply, false);
    }
    SendBody(std::move(reply), corrupt);
    sendHeld();
}

void SimSerialPort::SendBody(std::vector<uint8_t> body, bool corrupt) {
    const uint16_t fcs = Crc16Compute(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(fcs));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    std::vector<uint8_t> wire(kMaxWireFrame);
    size_t n = BuildWireFrame(body.data(), body.size(), wire.data(), wire.size());
    if (n == 0) return;
    if (corrupt && n > 2) {
        size_t at = 1 + std::uniform_int_distribution<size_t>(0, n - 3)(m_Random);
        wire[at] ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(m_Random));
    }
    if (m_Pty.Write(wire.data(), n)) {
        ++m_RepliesSent;
        m_BytesSent += n;
    }
}

}  // namespace jvo::sim
