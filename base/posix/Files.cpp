// Files on POSIX.
#include "base/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace jvo {

void FileHandle::Reset(int fd) {
    if (m_Fd >= 0) ::close(m_Fd);
    m_Fd = fd;
}

int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

int64_t ReadFromFile(int fd, void* data, size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

bool CloseFile(int fd) {
    return ::close(fd) == 0;
}

PathKind KindOf(const std::string& path, int* error) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        if (error) *error = path.empty() ? ENOENT : errno;
        return PathKind::Missing;
    }
    if (S_ISREG(st.st_mode)) return PathKind::Regular;
    if (S_ISDIR(st.st_mode)) return PathKind::Directory;
    return PathKind::Other;
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool MayRead(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0;
}

bool MayCreateIn(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool MakeDirectories(const std::string& dir, bool ownerOnly) {
    if (dir.empty()) return false;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        const std::string partial = dir.substr(0, pos);
        if (partial.empty()) continue;
        if (::mkdir(partial.c_str(), ownerOnly ? 0700 : 0755) != 0 && errno != EEXIST) return false;
    }
    return KindOf(dir) == PathKind::Directory;
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool IsPathSeparator(char c) {
    return c == '/';
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

AppendFile::~AppendFile() {
    Close();
}

void AppendFile::Close() {
    if (m_Handle >= 0) ::close(static_cast<int>(m_Handle));
    m_Handle = -1;
}

bool AppendFile::Open(const std::string& path) {
    struct stat st {};
    m_Created = ::stat(path.c_str(), &st) != 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    m_Handle = fd;
    m_Path = path;
    return true;
}

int64_t AppendFile::Size() const {
    struct stat st {};
    if (m_Handle < 0 || ::fstat(static_cast<int>(m_Handle), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool AppendFile::LastByte(char& byte) const {
    const int64_t size = Size();
    if (size <= 0) return false;
    // The file is open for writing only: its last byte is read through a second descriptor.
    const int in = ::open(m_Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const bool read = ::pread(in, &byte, 1, size - 1) == 1;
    ::close(in);
    return read;
}

bool AppendFile::Write(const std::string& text) {
    if (m_Handle < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::write(static_cast<int>(m_Handle), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return ::fdatasync(static_cast<int>(m_Handle)) == 0;
}

bool AppendFile::Truncate() {
    return m_Handle >= 0 && ::ftruncate(static_cast<int>(m_Handle), 0) == 0;
}

bool IsTerminal(FILE* stream) {
    return ::isatty(::fileno(stream)) == 1;
}

std::string HomeFolder() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    passwd pw{};
    passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0])
        return found->pw_dir;
    return std::string();
}

std::string StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/') return state;
    const std::string home = HomeFolder();
    return (home.empty() ? std::string("/tmp") : home) + "/.local/state";
}

std::FILE* OpenStdFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool RenameOver(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace jvo
