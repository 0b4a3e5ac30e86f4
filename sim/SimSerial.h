#pragma once
// Serves a simulated unit on a pseudo-terminal: the programs open the slave side as their serial
// device (directly, or as COM n through a `com<n>` pin in the port directory). Frames are
// received, checked and answered as a unit on a real line would; faults can be switched on for
// tests, and replies can be paced at a baud rate so that the link is as slow as a real line.
// The unit's own faults (late, silent, refused command) go through a FaultPlan, as on every
// transport; the line faults (drop, corrupt, stale, foreign, duplicate, reorder) exist only here.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/SyncEvent.h"
#include "link/Pty.h"
#include "sim/FaultPlan.h"
#include "sim/SimUnit.h"

namespace jvo::sim {

struct SerialFaults {
    double dropFraction = 0;     // replies never sent
    double corruptFraction = 0;  // replies with one bit flipped on the line
    double lateFraction = 0;     // replies sent lateMs after the request
    uint32_t lateMs = 0;
    double staleFraction = 0;      // the previous reply (old sequence number) is sent again first
    double foreignFraction = 0;    // a copy from another address, then one with another protocol
                                   // byte, go out before the real reply
    double duplicateFraction = 0;  // the reply goes out twice
    double reorderFraction = 0;    // the reply is held back and goes out after the next one
    bool silent = false;           // nothing is answered
    int refuseCommand = -1;        // this command code is answered with a code other than 'd'
    uint32_t seed = 1;

    // The part that is the unit's own rather than the line's.
    UnitFaults Unit() const { return {lateFraction, lateMs, silent, refuseCommand, seed}; }
};

// Bytes a frame body takes on the line: its check sequence, the escapes of both and two flags.
int64_t FrameWireBytes(const uint8_t* body, size_t length);
// How long `bytes` take on a line at `baud` (10 bit times each), in microseconds.
constexpr int64_t WireMicros(int64_t bytes, int baud) {
    return baud > 0 ? bytes * 10 * 1000000 / baud : 0;
}

// How often each line fault was applied (a reply may carry several).
struct SerialFaultCounts {
    uint64_t dropped = 0;
    uint64_t corrupted = 0;
    uint64_t late = 0;
    uint64_t stale = 0;
    uint64_t foreign = 0;
    uint64_t duplicated = 0;
    uint64_t reordered = 0;
};

struct SerialOptions {
    int baud = 0;  // 0: no pacing; else each reply waits for the wire time of both frames
    SerialFaults faults;
};

class SimSerialPort {
public:
    SimSerialPort(SimUnit& unit, SerialOptions options = {});
    ~SimSerialPort();
    SimSerialPort(const SimSerialPort&) = delete;
    SimSerialPort& operator=(const SimSerialPort&) = delete;

    // Opens the pseudo-terminal and starts answering. False when no pty could be made.
    bool Start();
    // Stops answering, removes the pin (if any) and closes the pty.
    void Stop();
    // The device the programs open.
    std::string DevicePath() const { return m_Pty.SlavePath(); }
    // Pins the pty as COM n: a symlink `com<n>` in `portDir` (the directory is created if
    // missing). A dangling link (left by an earlier run) is replaced; any other existing
    // `com<n>`, such as a running simulator's pin or the user's pin to a real adapter, is left
    // alone and the pin is refused with the reason in `error`. Stop() removes the pin again, but
    // only while it still points at this pty.
    bool Pin(int comNumber, const std::string& portDir, std::string* error = nullptr);

    void SetFaults(const SerialFaults& faults);
    uint64_t FramesReceived() const { return m_FramesReceived.load(); }
    uint64_t RepliesSent() const { return m_RepliesSent.load(); }
    // Bytes that crossed the line each way, flags and stuffing included.
    uint64_t BytesReceived() const { return m_BytesReceived.load(); }
    uint64_t BytesSent() const { return m_BytesSent.load(); }
    // Milliseconds since the last frame arrived (a large value when none ever did).
    uint64_t IdleMs() const;
    SerialFaultCounts FaultCounts() const;

private:
    void Run();
    void Answer(const uint8_t* body, int32_t length);
    void SendBody(std::vector<uint8_t> body, bool corrupt);
    bool Chance(double fraction);

    SimUnit& m_Unit;
    SerialOptions m_Options;
    Pty m_Pty;
    SyncEvent m_Wake{SyncEvent::Reset::Manual};
    std::thread m_Thread;
    std::mutex m_FaultLock;
    SerialFaults m_Faults;
    FaultPlan m_Plan;
    std::mt19937 m_Random;             // line faults; used by the serving thread only
    std::vector<uint8_t> m_LastReply;  // the previous reply body, for stale copies
    std::vector<uint8_t> m_HeldReply;  // a reply held back to go out after the next one
    mutable std::mutex m_CountLock;
    SerialFaultCounts m_Counts;
    std::string m_PinPath;
    std::atomic<uint64_t> m_FramesReceived{0};
    std::atomic<uint64_t> m_RepliesSent{0};
    std::atomic<uint64_t> m_BytesReceived{0};
    std::atomic<uint64_t> m_BytesSent{0};
    std::atomic<int64_t> m_LastFrameMs{-1};  // steady clock, milliseconds
};

}  // namespace jvo::sim
