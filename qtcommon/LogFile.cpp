// The size-bounded log file.
#include "qtcommon/LogFile.h"

#include <cstring>
#include <ctime>

#include "base/Clock.h"
#include "base/Files.h"

namespace jvo::qt {

std::string DefaultLogPath(const std::string& program) {
    return StateFolder() + "/jvo/" + program + ".log";
}

LogFile::LogFile(std::string path, int64_t limit) : m_Path(std::move(path)), m_Limit(limit) {
    MakeDirectories(FolderOf(m_Path), true);  // the state folder is the user's alone
    Open();
    CAppLog::Instance().AddSink(this);
}

LogFile::~LogFile() {
    CAppLog::Instance().RemoveSink(this);
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_File) std::fclose(m_File);
}

void LogFile::Open() {
    m_File = OpenStdFile(m_Path, "ab");  // binary: the size counted is the size on the disk
    m_Size = m_File ? FileSize(m_Path) : 0;
    if (m_Size < 0) m_Size = 0;
}

void LogFile::Write(const char* line) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ToLocalTime(now, local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
    const int64_t length = static_cast<int64_t>(std::strlen(stamp) + std::strlen(line) + 1);

    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_File && m_Size > 0 && m_Size + length > m_Limit) {
        std::fclose(m_File);
        m_File = nullptr;
        RenameOver(m_Path, m_Path + ".1");
        Open();
    }
    if (!m_File) return;
    std::fprintf(m_File, "%s%s\n", stamp, line);
    std::fflush(m_File);
    m_Size += length;
}

}  // namespace jvo::qt
