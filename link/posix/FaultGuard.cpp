// The fault guard on POSIX: a signal handler on an alternate stack that jumps back into the
// guarded call.
//
// One process-wide handler (SA_SIGINFO | SA_ONSTACK) is installed the first time a call is
// guarded. Each guarded thread runs its guarded call with its own alternate signal stack, so even
// a stack overflow can be handled. On a fault in a guarded call the handler only copies the
// signal information and the faulting instruction address into that thread's record and jumps
// back (siglongjmp) into RunGuarded, which builds the record on the ordinary stack. Faults in
// threads that are not inside a guarded call, and signals sent by other processes or threads, go
// to the action that was installed before (for the default action: the process ends as it would
// have without the guard).
#include "link/FaultGuard.h"

#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

#include "link/posix/FaultSignals.h"

namespace jvo {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr int kSignalCount = static_cast<int>(sizeof kSignals / sizeof kSignals[0]);
constexpr size_t kAltStackSize = 64 * 1024;

// The actions that were in place before the guard's handler, for faults outside guarded calls.
// Each is written by the same sigaction() call that installs the handler for its signal and is
// only read afterwards.
struct sigaction g_Previous[kSignalCount];

// One guarded call's record. The handler writes the fault here and jumps back.
struct GuardState {
    sigjmp_buf jump;
    volatile sig_atomic_t armed = 0;
    volatile int signal = 0;
    volatile int signalCode = 0;
    volatile uint64_t dataAddress = 0;
    volatile uint64_t instructionAddress = 0;
    volatile int64_t pageFaultError = -1;
    // Addresses in [overflowLow, overflowHigh) belong to the guard area below the thread's stack.
    uintptr_t overflowLow = 0;
    uintptr_t overflowHigh = 0;
};

// The calling thread's guarded call, if any. A plain pointer: safe to read in a signal handler.
thread_local GuardState* t_Guard = nullptr;

const struct sigaction* PreviousAction(int sig) {
    for (int i = 0; i < kSignalCount; ++i)
        if (kSignals[i] == sig) return &g_Previous[i];
    return nullptr;
}

// Hands a signal that is not ours to take to the action installed before the guard.
void Chain(int sig, siginfo_t* info, void* context) {
    const struct sigaction* prev = PreviousAction(sig);
    if (prev && prev->sa_handler != SIG_DFL && prev->sa_handler != SIG_IGN) {
        if (prev->sa_flags & SA_SIGINFO)
            prev->sa_sigaction(sig, info, context);
        else
            prev->sa_handler(sig);
        return;
    }
    const bool sentBySomeone = info == nullptr || info->si_code <= 0;
    if (prev && prev->sa_handler == SIG_IGN && sentBySomeone) return;
    // Default action: restore it and raise the signal again. It stays pending while this handler
    // runs and takes effect as soon as the handler returns.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(sig, &dfl, nullptr);
    raise(sig);
}

void FaultHandler(int sig, siginfo_t* info, void* context) {
    GuardState* g = t_Guard;
    // Only faults raised by the processor (si_code > 0) are taken; a signal sent with kill() may
    // arrive anywhere, where jumping away would not be safe.
    if (g != nullptr && g->armed && info != nullptr && info->si_code > 0) {
        g->armed = 0;
        g->signal = sig;
        g->signalCode = info->si_code;
        g->dataAddress = reinterpret_cast<uintptr_t>(info->si_addr);
        const ucontext_t* uc = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
        g->instructionAddress = static_cast<uint64_t>(uc->uc_mcontext.gregs[REG_RIP]);
        g->pageFaultError = sig == SIGSEGV ? uc->uc_mcontext.gregs[REG_ERR] : -1;
#elif defined(__aarch64__)
        g->instructionAddress = uc->uc_mcontext.pc;
        g->pageFaultError = -1;
#else
        (void)uc;
        g->instructionAddress = 0;
        g->pageFaultError = -1;
#endif
        siglongjmp(g->jump, 1);
    }
    Chain(sig, info, context);
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = FaultHandler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &sa, &g_Previous[i]);
    });
}

// The alternate signal stack of one guarded call, with an inaccessible page below it.
class AltStack {
public:
    AltStack() {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_Size = kAltStackSize + page;
        void* area =
            mmap(nullptr, m_Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area == MAP_FAILED) return;
        m_Area = area;
        mprotect(m_Area, page, PROT_NONE);
        stack_t ss{};
        ss.ss_sp = static_cast<char*>(m_Area) + page;
        ss.ss_size = kAltStackSize;
        ss.ss_flags = 0;
        m_Installed = sigaltstack(&ss, &m_Old) == 0;
    }
    ~AltStack() {
        if (m_Installed) {
            if (m_Old.ss_flags & SS_DISABLE) {
                stack_t off{};
                off.ss_flags = SS_DISABLE;
                sigaltstack(&off, nullptr);
            } else {
                sigaltstack(&m_Old, nullptr);
            }
        }
        if (m_Area) munmap(m_Area, m_Size);
    }
    AltStack(const AltStack&) = delete;
    AltStack& operator=(const AltStack&) = delete;

private:
    void* m_Area = nullptr;
    size_t m_Size = 0;
    stack_t m_Old{};
    bool m_Installed = false;
};

// Finds the area just below the calling thread's stack, where a stack overflow faults.
void FindStackGuard(GuardState& state) {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return;
    void* low = nullptr;
    size_t size = 0;
    size_t guard = 0;
    if (pthread_attr_getstack(&attr, &low, &size) == 0) {
        pthread_attr_getguardsize(&attr, &guard);
        const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t base = reinterpret_cast<uintptr_t>(low);
        const uintptr_t below = std::max<uintptr_t>(guard, page) + page;
        state.overflowLow = base > below ? base - below : 0;
        state.overflowHigh = base + page;
    }
    pthread_attr_destroy(&attr);
}

}  // namespace

FaultRecord TranslateFault(int signal, int signalCode, uint64_t dataAddress,
                           uint64_t instructionAddress, int64_t pageFaultError, bool onStackGuard) {
    FaultRecord r;
    r.signal = signal;
    r.signalCode = signalCode;
    r.dataAddress = dataAddress;
    r.instructionAddress = instructionAddress;
    switch (signal) {
        case SIGSEGV:
            r.code = onStackGuard ? fault::kStackOverflow : fault::kAccessViolation;
            // Page-fault error code bit 1: the access was a write. Without it: "Reading".
            r.write = pageFaultError >= 0 && (pageFaultError & 2) != 0;
            break;
        case SIGBUS:
            r.code = signalCode == BUS_ADRALN ? fault::kDatatypeMisalignment : fault::kInPageError;
            break;
        case SIGFPE:
            switch (signalCode) {
                case FPE_INTDIV:
                    r.code = fault::kIntDivideByZero;
                    break;
                case FPE_INTOVF:
                    r.code = fault::kIntOverflow;
                    break;
                case FPE_FLTDIV:
                    r.code = fault::kFltDivideByZero;
                    break;
                case FPE_FLTOVF:
                    r.code = fault::kFltOverflow;
                    break;
                case FPE_FLTUND:
                    r.code = fault::kFltUnderflow;
                    break;
                case FPE_FLTRES:
                    r.code = fault::kFltInexactResult;
                    break;
                case FPE_FLTSUB:
                    r.code = fault::kArrayBoundsExceeded;
                    break;
                default:
                    r.code = fault::kFltInvalidOperation;
                    break;
            }
            break;
        case SIGILL:
            r.code = (signalCode == ILL_PRVOPC || signalCode == ILL_PRVREG)
                         ? fault::kPrivilegedInstruction
                         : fault::kIllegalInstruction;
            break;
        case SIGTRAP:
            r.code = signalCode == TRAP_TRACE ? fault::kSingleStep : fault::kBreakpoint;
            break;
        default:
            r.code = 0;
            break;
    }
    return r;
}

bool RunGuarded(uint32_t (*function)(void*), void* argument, uint32_t& result, FaultRecord& fault) {
    InstallHandler();
    AltStack altStack;
    GuardState state;
    FindStackGuard(state);
    GuardState* const outer = t_Guard;
    t_Guard = &state;
    bool completed = false;
    if (sigsetjmp(state.jump, 1) == 0) {
        state.armed = 1;
        try {
            result = function(argument);
        } catch (...) {
            state.armed = 0;
            t_Guard = outer;
            throw;
        }
        state.armed = 0;
        completed = true;
    } else {
        const uint64_t data = state.dataAddress;
        const bool onGuard =
            state.signal == SIGSEGV && data >= state.overflowLow && data < state.overflowHigh;
        fault = TranslateFault(state.signal, state.signalCode, data, state.instructionAddress,
                               state.pageFaultError, onGuard);
    }
    t_Guard = outer;
    return completed;
}

}  // namespace jvo
