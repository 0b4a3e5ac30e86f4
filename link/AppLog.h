#pragma once
// CAppLog: the process-wide diagnostic log. Lines at or below the log's level are formatted with
// the checking formatter and given to each registered sink and to the debugger channel (see
// link/DebugChannel.h), one line each, without time stamps. Levels: 0 connection-ending errors
// and fault reports, 1 refused operations and protocol errors, 2 routine notices, 3 tracing.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/FormatStr.h"

namespace jvo {

class CAppLog {
public:
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void Write(const char* line) = 0;
    };

    CAppLog();
    virtual ~CAppLog();
    CAppLog(const CAppLog&) = delete;
    CAppLog& operator=(const CAppLog&) = delete;

    // The process-wide log (made on first use, lives until exit).
    static CAppLog& Instance();

    void AddSink(Sink* sink);
    void RemoveSink(Sink* sink);
    int Level() const { return m_Level; }
    // Tests may raise the level; the programs keep the level 1 set at construction.
    void SetLevel(int level) { m_Level = level; }
    // The debugger channel can be switched off for tests that expect log lines.
    void SetDebugChannel(bool on) { m_DebugChannel = on; }

    // Writes one line. A format whose arguments do not fit yields the "APPLOG ERROR" line.
    template <class... Args>
    void Write(int level, fmt::FormatText<Args...> format, const Args&... args) {
        WriteArgs(level, format.text, {fmt::MakeArg(args)...});
    }
    // The same for a thread that may have abandoned the log's lock (a fault report: the jump out
    // of the fault skipped the unlock). Waits at most kNoWaitLockMs for the lock; without it the
    // line goes straight to the debugger channel, past the C library's locks, and the sinks miss
    // it.
    template <class... Args>
    void WriteNoWait(int level, fmt::FormatText<Args...> format, const Args&... args) {
        WriteArgs(level, format.text, {fmt::MakeArg(args)...}, false, true);
    }
    static constexpr int kNoWaitLockMs = 250;
    // The same with a format known only at run time (checked as it is applied).
    template <class... Args>
    void WriteRt(int level, const char* format, const Args&... args) {
        WriteArgs(level, format ? std::string_view(format) : std::string_view(),
                  {fmt::MakeArg(args)...}, format == nullptr);
    }

private:
    void WriteArgs(int level, std::string_view format, std::initializer_list<fmt::Arg> args,
                   bool nullFormat = false, bool noWait = false);

    std::mutex m_Lock;
    std::vector<Sink*> m_Sinks;
    std::atomic<int> m_Level{1};
    std::atomic<bool> m_DebugChannel{true};
};

// Shorthands for the four levels.
#define JVO_LOG0(...) ::jvo::CAppLog::Instance().Write(0, __VA_ARGS__)
#define JVO_LOG1(...) ::jvo::CAppLog::Instance().Write(1, __VA_ARGS__)
#define JVO_LOG2(...) ::jvo::CAppLog::Instance().Write(2, __VA_ARGS__)
#define JVO_LOG3(...) ::jvo::CAppLog::Instance().Write(3, __VA_ARGS__)

}  // namespace jvo
