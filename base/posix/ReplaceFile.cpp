#include "base/ReplaceFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "base/Files.h"
#include "base/FormatStr.h"

namespace jvo {

namespace {

void SyncDir(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: not every file system supports it
    ::close(fd);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A new file next to the file it will replace; removed again unless Commit() succeeded.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        Close();
        if (!m_Name.empty()) ::unlink(m_Name.c_str());
    }

    // Creates a file of a fresh name in `dir`, readable as a normally created file would be.
    bool Create(const std::string& dir) {
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = FormatStr("%s/.jvo-save-%d-%08x.tmp", dir,
                                         static_cast<int>(getpid()), static_cast<unsigned>(rd()));
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                m_Name = std::move(name);
                m_Fd = fd;
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    int Fd() const { return m_Fd; }

    // Flushes the file to the disk, closes it and moves it onto `target`.
    bool Commit(const std::string& target) {
        if (::fsync(m_Fd) != 0 || !Close()) return false;
        if (::rename(m_Name.c_str(), target.c_str()) != 0) return false;
        m_Name.clear();
        return true;
    }

private:
    // Closes now; false when the close reported an error (the data may not be stored).
    bool Close() {
        if (m_Fd < 0) return true;
        const int rc = ::close(m_Fd);
        m_Fd = -1;
        return rc == 0;
    }

    int m_Fd = -1;
    std::string m_Name;
};

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    // Replace the file a symbolic link points to, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) return false;
        target = resolved;
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A rename would put a regular file in the place of a device or a FIFO.
    if (exists && !S_ISREG(st.st_mode)) return false;
    TempFile temp;
    if (!temp.Create(FolderOf(target))) return false;
    // Keep the permissions of the file being replaced.
    if (exists && ::fchmod(temp.Fd(), st.st_mode & 07777) != 0) return false;
    if (!WriteAll(temp.Fd(), bytes.data(), bytes.size())) return false;
    if (!temp.Commit(target)) return false;
    SyncDir(FolderOf(target));
    return true;
}

}  // namespace jvo
