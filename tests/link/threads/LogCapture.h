#pragma once
// Test helper: a CAppLog sink that keeps every emitted line, at a chosen log level for its life.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "link/AppLog.h"

namespace jvo {

class LogCapture : public CAppLog::Sink {
public:
    explicit LogCapture(int level = 1) : m_PrevLevel(CAppLog::Instance().Level()) {
        CAppLog::Instance().SetLevel(level);
        CAppLog::Instance().AddSink(this);
    }
    ~LogCapture() override {
        CAppLog::Instance().RemoveSink(this);
        CAppLog::Instance().SetLevel(m_PrevLevel);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void Write(const char* line) override {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Lines.emplace_back(line);
        m_Changed.notify_all();
    }
    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Lines;
    }
    // Lines that contain `part`.
    std::vector<std::string> Matching(const std::string& part) const {
        std::lock_guard<std::mutex> guard(m_Lock);
        std::vector<std::string> out;
        for (const auto& l : m_Lines)
            if (l.find(part) != std::string::npos) out.push_back(l);
        return out;
    }
    int Count(const std::string& part) const { return static_cast<int>(Matching(part).size()); }
    bool HasLine(const std::string& exact) const {
        std::lock_guard<std::mutex> guard(m_Lock);
        for (const auto& l : m_Lines)
            if (l == exact) return true;
        return false;
    }
    // Waits up to waitMs for a line containing `part`.
    bool WaitFor(const std::string& part, int waitMs = 5000) const {
        std::unique_lock<std::mutex> lock(m_Lock);
        return m_Changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] {
            for (const auto& l : m_Lines)
                if (l.find(part) != std::string::npos) return true;
            return false;
        });
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Lines.clear();
    }

private:
    mutable std::mutex m_Lock;
    mutable std::condition_variable m_Changed;
    std::vector<std::string> m_Lines;
    int m_PrevLevel;
};

}  // namespace jvo
