// The fault guard on Windows: a vectored exception handler that sends a faulted guarded call back
// into RunGuarded.
//
// The handler is added once, first in the chain, the first time a call is guarded. For a
// processor fault (one of the codes of the fault report) inside a guarded call of the faulting
// thread, it copies the exception record into that thread's guard and changes the thread's
// context so that it goes on in a function that jumps back (__builtin_longjmp) to the start of
// the guarded call; everything else (C++ exceptions, debugger notices, faults outside guarded
// calls) goes on to the next handler, so the process ends as it would have without the guard.
// After a stack overflow the thread's guard page is set up again.
#include <malloc.h>
#include <windows.h>

#include <mutex>

#include "link/FaultGuard.h"

namespace jvo {

namespace {

struct GuardState {
    void* jump[5] = {};  // __builtin_setjmp's buffer
    volatile LONG armed = 0;
    FaultRecord record;
};

thread_local GuardState* t_Guard = nullptr;

bool IsProcessorFault(DWORD code) {
    switch (code) {
        case fault::kAccessViolation:
        case fault::kArrayBoundsExceeded:
        case fault::kBreakpoint:
        case fault::kDatatypeMisalignment:
        case fault::kFltDenormalOperand:
        case fault::kFltDivideByZero:
        case fault::kFltInexactResult:
        case fault::kFltInvalidOperation:
        case fault::kFltOverflow:
        case fault::kFltStackCheck:
        case fault::kFltUnderflow:
        case fault::kIllegalInstruction:
        case fault::kInPageError:
        case fault::kIntDivideByZero:
        case fault::kIntOverflow:
        case fault::kPrivilegedInstruction:
        case fault::kSingleStep:
        case fault::kStackOverflow:
            return true;
        default:
            return false;
    }
}

[[noreturn]] void JumpBack() {
    __builtin_longjmp(t_Guard->jump, 1);
}

LONG CALLBACK FaultHandler(EXCEPTION_POINTERS* pointers) {
    GuardState* g = t_Guard;
    const EXCEPTION_RECORD* e = pointers->ExceptionRecord;
    if (g == nullptr || !g->armed || !IsProcessorFault(e->ExceptionCode))
        return EXCEPTION_CONTINUE_SEARCH;
    g->armed = 0;
    FaultRecord& r = g->record;
    r.code = e->ExceptionCode;
    r.instructionAddress = reinterpret_cast<uintptr_t>(e->ExceptionAddress);
    if (e->ExceptionCode == fault::kAccessViolation && e->NumberParameters >= 2) {
        r.write = e->ExceptionInformation[0] != 0;  // 1 write, 8 execute
        r.dataAddress = static_cast<uint64_t>(e->ExceptionInformation[1]);
    }
    CONTEXT* c = pointers->ContextRecord;
#if defined(__x86_64__)
    // Go on in JumpBack, on the faulted stack, aligned as just after a call.
    c->Rsp = (c->Rsp & ~static_cast<DWORD64>(15)) - 8;
    c->Rip = reinterpret_cast<DWORD64>(&JumpBack);
#else
#error "the fault guard knows only x86-64 contexts"
#endif
    return EXCEPTION_CONTINUE_EXECUTION;
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] { AddVectoredExceptionHandler(1, FaultHandler); });
}

// Whether the thread made it back from a fault; a separate function, so that the state the
// jump restores is only this frame's.
__attribute__((noinline)) bool CallGuarded(GuardState& state, uint32_t (*function)(void*),
                                           void* argument, uint32_t& result) {
    if (__builtin_setjmp(state.jump) != 0) return false;
    state.armed = 1;
    try {
        result = function(argument);
    } catch (...) {
        state.armed = 0;
        throw;
    }
    state.armed = 0;
    return true;
}

}  // namespace

bool RunGuarded(uint32_t (*function)(void*), void* argument, uint32_t& result, FaultRecord& fault) {
    InstallHandler();
    GuardState state;
    GuardState* const outer = t_Guard;
    t_Guard = &state;
    bool completed = false;
    try {
        completed = CallGuarded(state, function, argument, result);
    } catch (...) {
        t_Guard = outer;
        throw;
    }
    t_Guard = outer;
    if (!completed) {
        fault = state.record;
        if (fault.code == fault::kStackOverflow) _resetstkoflw();
    }
    return completed;
}

}  // namespace jvo
