#pragma once
// The fault guard: turns a processor fault (an access violation, a division by zero, an illegal
// instruction, a breakpoint, a stack overflow) raised inside a guarded call into a FaultRecord
// instead of ending the process, and the AfoException that carries it with its fault report.
// The platform layer implements RunGuarded: with signals on POSIX (link/posix/FaultGuard.cpp),
// with a vectored exception handler on Windows (link/win32/FaultGuard.cpp). Faults outside a
// guarded call are left to whatever handled them before.
//
// Limitation: leaving the faulted call skips the destructors of objects on its stack, so
// whatever they held is not released. State touched by the faulting thread is abandoned: a lock
// it held (a queue's, a sink's, the log's own) stays locked, and other threads that take it later
// wait for ever. The fault report therefore never waits for such a lock: it goes through
// CAppLog::WriteNoWait, which falls back to writing to the debugger channel directly. The thread
// ends right after the report.
#include <cstdint>

namespace jvo {

// Exception codes used in fault reports.
namespace fault {
constexpr uint32_t kAccessViolation = 0xC0000005;
constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
constexpr uint32_t kBreakpoint = 0x80000003;
constexpr uint32_t kDatatypeMisalignment = 0x80000002;
constexpr uint32_t kFltDenormalOperand = 0xC000008D;
constexpr uint32_t kFltDivideByZero = 0xC000008E;
constexpr uint32_t kFltInexactResult = 0xC000008F;
constexpr uint32_t kFltInvalidOperation = 0xC0000090;
constexpr uint32_t kFltOverflow = 0xC0000091;
constexpr uint32_t kFltStackCheck = 0xC0000092;
constexpr uint32_t kFltUnderflow = 0xC0000093;
constexpr uint32_t kIllegalInstruction = 0xC000001D;
constexpr uint32_t kInPageError = 0xC0000006;
constexpr uint32_t kIntDivideByZero = 0xC0000094;
constexpr uint32_t kIntOverflow = 0xC0000095;
constexpr uint32_t kInvalidDisposition = 0xC0000026;
constexpr uint32_t kNoncontinuableException = 0xC0000025;
constexpr uint32_t kPrivilegedInstruction = 0xC0000096;
constexpr uint32_t kSingleStep = 0x80000004;
constexpr uint32_t kStackOverflow = 0xC00000FD;
}  // namespace fault

// The name of an exception code in the fault report ("Unknown" for codes without one).
const char* FaultName(uint32_t code);

// What the guard recorded about one processor fault.
struct FaultRecord {
    uint32_t code = 0;                     // exception code (see fault::)
    uint64_t instructionAddress = 0;       // address of the faulting instruction
    uint64_t dataAddress = 0;              // access faults: the address accessed
    bool write = false;                    // access faults: the access was a write
    int signal = 0;                        // POSIX: the signal (0 elsewhere)
    int signalCode = 0;                    // POSIX: its si_code
    const FaultRecord* related = nullptr;  // a nested fault; none is kept by the guards
};

// A processor fault turned into an exception object.
class AfoException {
public:
    AfoException(uint32_t code, const FaultRecord& record);
    virtual ~AfoException() = default;
    AfoException(const AfoException& other);
    AfoException& operator=(const AfoException& other);

    uint32_t Code() const { return m_Code; }
    const FaultRecord* Info() const { return &m_Record; }
    // Writes the fault report to the log (level 0): the record, then each related record. Never
    // waits long for the log's lock (see CAppLog::WriteNoWait).
    void Report() const;

private:
    uint32_t m_Code;
    FaultRecord m_Record;
};

// Runs function(argument) on the calling thread with the fault guard. Returns true with the
// function's result in `result`, or false with the fault in `fault` when a processor fault ended
// the call. C++ exceptions pass through unchanged. Calls may nest only on different threads.
bool RunGuarded(uint32_t (*function)(void*), void* argument, uint32_t& result, FaultRecord& fault);

}  // namespace jvo
