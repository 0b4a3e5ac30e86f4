#include "link/FaultGuard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/FormatStr.h"
#include "link/AfoThread.h"
#include "link/posix/FaultSignals.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

// The faults are raised with inline assembly on x86-64, so that they are real processor faults
// that no sanitizer checks first; the instruction's address is stored just before it.
uint64_t g_FaultIp = 0;

#if defined(__x86_64__)
constexpr bool kCanRaise = true;

uint32_t DivideByZero(void*) {
    uint32_t eax = 1;
    uint32_t edx = 0;
    uint32_t divisor = 0;
    asm volatile(
        "lea 1f(%%rip), %%rcx\n\t"
        "mov %%rcx, %[ip]\n\t"
        "1: divl %[d]\n\t"
        : "+a"(eax), "+d"(edx), [ip] "=m"(g_FaultIp)
        : [d] "r"(divisor)
        : "rcx", "cc");
    return eax + 100;  // never reached
}

uint32_t WriteToBadAddress(void* address) {
    asm volatile(
        "lea 1f(%%rip), %%rcx\n\t"
        "mov %%rcx, %[ip]\n\t"
        "1: movl $1, (%[p])\n\t"
        : [ip] "=m"(g_FaultIp)
        : [p] "r"(address)
        : "rcx", "memory");
    return 100;
}

uint32_t ReadFromBadAddress(void* address) {
    uint32_t value = 0;
    asm volatile("movl (%[p]), %[v]\n\t" : [v] "=r"(value) : [p] "r"(address) : "memory");
    return value + 100;
}

uint32_t Breakpoint(void*) {
    asm volatile("int3");
    return 100;
}
#else
constexpr bool kCanRaise = false;
uint32_t DivideByZero(void*) {
    return 100;
}
uint32_t WriteToBadAddress(void*) {
    return 100;
}
uint32_t ReadFromBadAddress(void*) {
    return 100;
}
uint32_t Breakpoint(void*) {
    return 100;
}
#endif

volatile int g_DepthLimit = 1 << 30;

uint32_t Recurse(int depth) {
    volatile char frame[2048];
    frame[0] = static_cast<char>(depth);
    uint32_t below = depth < g_DepthLimit ? Recurse(depth + 1) : 0;
    return below + static_cast<uint32_t>(frame[0]);
}

uint32_t OverflowTheStack(void*) {
    return Recurse(0);
}

#if defined(JVO_TEST_SANITIZER)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// Runs `function` on an AfoThread and returns its id once it has ended.
uint32_t RunToEnd(AfoThread::Function function, const char* name, void* arg,
                  uint32_t* exitCode = nullptr) {
    AfoThread t(function, name, arg);
    EXPECT_TRUE(t.WaitEnded(10000));
    EXPECT_TRUE(t.Finished());
    if (exitCode) *exitCode = t.ExitCode();
    return t.ThreadId();
}

TEST(FaultGuard, IntegerDivideByZeroIsReportedAndTheThreadEnds) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    LogCapture log(1);
    uint32_t exitCode = 1234;
    const uint32_t id = RunToEnd(&DivideByZero, "divider", nullptr, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], FormatStr("AfoThread::Execute() Thread 'divider' (0x%X) generated a "
                                  "structured exception (code = %u)",
                                  id, 0xC0000094u));
    EXPECT_EQ(lines[1].rfind("Structured Exception Dump [0x", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2], "Exception: Code = 0xc0000094 'Integer Divide by Zero'");
    EXPECT_EQ(lines[3], FormatStr("Exception: Address = 0x%08llx",
                                  static_cast<unsigned long long>(g_FaultIp)));
}

TEST(FaultGuard, AccessViolationsNameTheAccessAndTheDataAddress) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    LogCapture log(1);
    void* bad = reinterpret_cast<void*>(uintptr_t{0x10});
    RunToEnd(&WriteToBadAddress, "writer", bad);
    EXPECT_TRUE(log.HasLine("Exception: Code = 0xc0000005 'Access Violation'"));
    EXPECT_TRUE(log.HasLine(
        FormatStr("Exception: Address = 0x%08llx", static_cast<unsigned long long>(g_FaultIp))));
    EXPECT_TRUE(log.HasLine("Exception: Writing to Address 0x00000010"));
    log.Clear();
    // A page that may not be touched, high in the 64-bit address space.
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    char* inside = static_cast<char*>(page) + 8;
    uint32_t exitCode = 1;
    RunToEnd(&ReadFromBadAddress, "reader", inside, &exitCode);
    munmap(page, 4096);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(log.HasLine(
        FormatStr("Exception: Reading to Address 0x%08llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(inside)))));
}

TEST(FaultGuard, BreakpointHasItsOwnCode) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    LogCapture log(1);
    RunToEnd(&Breakpoint, "trap", nullptr);
    EXPECT_TRUE(log.HasLine("Exception: Code = 0x80000003 'Breakpoint'"));
}

TEST(FaultGuard, StackOverflowIsCaughtOnTheAlternateStack) {
    if (kSanitized) GTEST_SKIP() << "the sanitizers check the stack themselves";
    LogCapture log(1);
    RunToEnd(&OverflowTheStack, "deep", nullptr);
    EXPECT_TRUE(log.HasLine("Exception: Code = 0xc00000fd 'Stack Overflow'"))
        << ::testing::PrintToString(log.Lines());
}

TEST(FaultGuard, FaultsOnSeveralThreadsAtOnceAreEachReported) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    LogCapture log(1);
    std::vector<std::unique_ptr<AfoThread>> threads;
    for (int i = 0; i < 4; ++i)
        threads.push_back(std::make_unique<AfoThread>(&DivideByZero, "many", nullptr));
    for (auto& t : threads)
        EXPECT_TRUE(t->WaitEnded(10000));
    EXPECT_EQ(log.Count("'Integer Divide by Zero'"), 4);
}

TEST(FaultGuardDeathTest, AFaultOutsideAGuardedThreadStillEndsTheProcess) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RunToEnd(&DivideByZero, "guarded", nullptr);  // the handler is installed now
            std::thread plain([] { DivideByZero(nullptr); });
            plain.join();
        },
#if defined(JVO_TEST_SANITIZER)
        // The sanitizer's own handler was in place before: it reports the fault and exits.
        [](int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); },
#else
        ::testing::KilledBySignal(SIGFPE),
#endif
        "");
}

// A sink that faults while the log holds its lock for it.
class FaultingSink : public CAppLog::Sink {
public:
    void Write(const char* line) override {
        if (std::strstr(line, "into the faulting sink"))
            WriteToBadAddress(reinterpret_cast<void*>(16));
    }
};

uint32_t LogIntoFaultingSink(void*) {
    JVO_LOG1("into the faulting sink");
    return 0;
}

// The fault leaves the log's lock taken by the faulted thread; its report must not wait for it.
TEST(FaultGuardDeathTest, AFaultInsideTheLogIsReportedWithoutAHang) {
    if (!kCanRaise) GTEST_SKIP() << "faults are raised with x86-64 instructions";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::alarm(30);  // a hang ends the child by SIGALRM instead
            CAppLog::Instance().AddSink(new FaultingSink);  // kept: the log is abandoned after
            auto* t = new AfoThread(&LogIntoFaultingSink, "sinkfault", nullptr);
            std::_Exit(t->WaitEnded(20000) ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "Exception: Code = 0xc0000005 'Access Violation'");
}

TEST(FaultGuard, SignalsAndCodesMapToTheirExceptionCodes) {
    struct Case {
        int signal;
        int code;
        uint32_t expected;
    };
    const Case cases[] = {
        {SIGFPE, FPE_INTDIV, 0xC0000094},   {SIGFPE, FPE_INTOVF, 0xC0000095},
        {SIGFPE, FPE_FLTDIV, 0xC000008E},   {SIGFPE, FPE_FLTOVF, 0xC0000091},
        {SIGFPE, FPE_FLTUND, 0xC0000093},   {SIGFPE, FPE_FLTRES, 0xC000008F},
        {SIGFPE, FPE_FLTINV, 0xC0000090},   {SIGFPE, FPE_FLTSUB, 0xC000008C},
        {SIGSEGV, SEGV_MAPERR, 0xC0000005}, {SIGBUS, BUS_ADRALN, 0x80000002},
        {SIGBUS, BUS_ADRERR, 0xC0000006},   {SIGBUS, BUS_OBJERR, 0xC0000006},
        {SIGILL, ILL_ILLOPC, 0xC000001D},   {SIGILL, ILL_PRVOPC, 0xC0000096},
        {SIGTRAP, TRAP_BRKPT, 0x80000003},  {SIGTRAP, TRAP_TRACE, 0x80000004},
    };
    for (const Case& c : cases) {
        FaultRecord r = TranslateFault(c.signal, c.code, 0x1000, 0x2000, -1);
        EXPECT_EQ(r.code, c.expected) << c.signal << "/" << c.code;
        EXPECT_STRNE(FaultName(r.code), "Unknown");
    }
    EXPECT_EQ(TranslateFault(SIGSEGV, SEGV_MAPERR, 0x10, 0, 6).write, true);   // error code: write
    EXPECT_EQ(TranslateFault(SIGSEGV, SEGV_MAPERR, 0x10, 0, 4).write, false);  // user read
    EXPECT_EQ(TranslateFault(SIGSEGV, SEGV_MAPERR, 0x10, 0, 6, true).code, 0xC00000FDu);
    EXPECT_STREQ(FaultName(0x12345678), "Unknown");
}

}  // namespace
}  // namespace jvo
