#pragma once
// A log that survives the desktop: a program started from a menu has no terminal, so its log
// lines also go to a file, $XDG_STATE_HOME/jvo/<program>.log (by default ~/.local/state/jvo/;
// %LOCALAPPDATA%\jvo\ on Windows).
// The file is bounded: when a line would take it past the limit it is renamed to
// <program>.log.1 (replacing an older one) and a new file is begun, so at most twice the limit is
// kept. Each line gets a local time stamp. The sink registers itself with the process log for its
// life.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "link/AppLog.h"

namespace jvo::qt {

// The log file's path for `program`, in the state folder (base/Files.h's StateFolder).
std::string DefaultLogPath(const std::string& program);

class LogFile final : public CAppLog::Sink {
public:
    static constexpr int64_t kDefaultLimit = 1 << 20;

    // Creates the folder if needed and opens the file for appending. When it cannot be opened
    // the sink stays registered and drops its lines (Ok() is false).
    explicit LogFile(std::string path, int64_t limit = kDefaultLimit);
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool Ok() const { return m_File != nullptr; }
    const std::string& Path() const { return m_Path; }
    void Write(const char* line) override;

private:
    void Open();

    std::mutex m_Lock;
    std::string m_Path;
    int64_t m_Limit;
    int64_t m_Size = 0;
    std::FILE* m_File = nullptr;
};

}  // namespace jvo::qt
