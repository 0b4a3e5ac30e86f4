#include "link/AppLog.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/DebugChannel.h"

namespace jvo {

CAppLog::CAppLog() = default;
CAppLog::~CAppLog() = default;

CAppLog& CAppLog::Instance() {
    // Never destroyed, so that threads still running at exit can log safely.
    static CAppLog* log = new CAppLog();
    return *log;
}

void CAppLog::AddSink(Sink* sink) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Sinks.push_back(sink);
}

void CAppLog::RemoveSink(Sink* sink) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Sinks.erase(std::remove(m_Sinks.begin(), m_Sinks.end(), sink), m_Sinks.end());
}

namespace {

// Polls the lock instead of a timed wait, which the thread checkers do not all follow.
bool TryLockFor(std::unique_lock<std::mutex>& guard, int waitMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!guard.try_lock()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

void CAppLog::WriteArgs(int level, std::string_view format, std::initializer_list<fmt::Arg> args,
                        bool nullFormat, bool noWait) {
    if (level > m_Level) return;
    std::string text;
    if (nullFormat) {
        text = "APPLOG ERROR: Invalid arguments: 'format' is invalid";
    } else if (!fmt::FormatArgs(text, format,
                                std::span<const fmt::Arg>(args.begin(), args.size()))) {
        text = "APPLOG ERROR: Invalid arguments: 'format'=\"";
        text.append(format);
        text += '"';
    }
    std::unique_lock<std::mutex> guard(m_Lock, std::defer_lock);
    if (!noWait) {
        guard.lock();
    } else if (!TryLockFor(guard, kNoWaitLockMs)) {
        // The lock may be held by this very thread, abandoned at a fault: the line goes out
        // without it, in one write.
        text += '\n';
        DebugChannelWriteNoLock(text.data(), text.size());
        return;
    }
    for (Sink* sink : m_Sinks)
        sink->Write(text.c_str());
    if (m_DebugChannel) {
        text += '\n';
        DebugChannelWrite(text.data(), text.size());
    }
}

}  // namespace jvo
