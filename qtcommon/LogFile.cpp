// The size-bounded log file.
#include "qtcommon/LogFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace jvo::qt {

namespace {

// Creates every missing folder of `dir` (mode 0700, as the state folder should be).
bool MakeFolders(const std::string& dir) {
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i < dir.size() && dir[i] != '/') continue;
        const std::string part = dir.substr(0, i);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

}  // namespace

std::string DefaultLogPath(const std::string& program) {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : "/tmp") + "/.local/state";
    }
    return base + "/jvo/" + program + ".log";
}

LogFile::LogFile(std::string path, int64_t limit) : m_Path(std::move(path)), m_Limit(limit) {
    const size_t slash = m_Path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) MakeFolders(m_Path.substr(0, slash));
    Open();
    CAppLog::Instance().AddSink(this);
}

LogFile::~LogFile() {
    CAppLog::Instance().RemoveSink(this);
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_File) std::fclose(m_File);
}

void LogFile::Open() {
    m_File = std::fopen(m_Path.c_str(), "a");
    m_Size = 0;
    struct stat st {};
    if (m_File && ::stat(m_Path.c_str(), &st) == 0) m_Size = st.st_size;
}

void LogFile::Write(const char* line) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    const int64_t length = static_cast<int64_t>(std::strlen(stamp) + std::strlen(line) + 1);

    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_File && m_Size > 0 && m_Size + length > m_Limit) {
        std::fclose(m_File);
        m_File = nullptr;
        std::rename(m_Path.c_str(), (m_Path + ".1").c_str());
        Open();
    }
    if (!m_File) return;
    std::fprintf(m_File, "%s%s\n", stamp, line);
    std::fflush(m_File);
    m_Size += length;
}

}  // namespace jvo::qt
