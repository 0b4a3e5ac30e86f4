#include "config/ConfigFile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "config/Codec.h"
#include "base/FormatStr.h"
#include "base/MsgBuf.h"

namespace jvo {

namespace {

constexpr size_t kLengthBytes = 4;

// Closes a descriptor when it goes out of scope.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_Fd(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Close(); }
    int Get() const { return m_Fd; }
    void Reset(int fd) {
        Close();
        m_Fd = fd;
    }
    // Closes now; false when the close reported an error (for written files: data not stored).
    bool Close() {
        if (m_Fd < 0) return true;
        const int rc = ::close(m_Fd);
        m_Fd = -1;
        return rc == 0;
    }

private:
    int m_Fd;
};

// A new file next to the file it will replace; removed again unless Commit() succeeded.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        m_Fd.Close();
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
                m_Fd.Reset(fd);
                return true;
            }
            if (errno != EEXIST) return false;
        }
        return false;
    }

    int Fd() const { return m_Fd.Get(); }

    // Flushes the file to the disk, closes it and moves it onto `target`.
    bool Commit(const std::string& target) {
        if (::fsync(m_Fd.Get()) != 0 || !m_Fd.Close()) return false;
        if (::rename(m_Name.c_str(), target.c_str()) != 0) return false;
        m_Name.clear();
        return true;
    }

private:
    UniqueFd m_Fd;
    std::string m_Name;
};

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads up to `size` bytes; returns how many arrived before the end of the file, -1 on an error
// (including a descriptor that has nothing to read yet).
ssize_t ReadUpTo(int fd, uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

uint32_t ReadLength(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string DirName(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

void SyncDir(const std::string& dir) {
    UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0) ::fsync(fd.Get());  // best effort: not every file system supports it
}

}  // namespace

bool EncodeConfigPayload(const UnitConfig& config, std::vector<uint8_t>& out) {
    out.clear();
    // One byte less than the limit, so everything that fits is a valid length.
    MsgBuf buf(static_cast<int32_t>(kConfigFileMaxPayload - 1));
    buf.Put16(kSchemaVersion);
    EncodeUnit(kSchemaVersion, buf, config.m_Unit);
    for (const PanelRecord& panel : config.m_Panels) {
        EncodePanel(kSchemaVersion, buf, panel);
        for (const BreakerRecord& b : panel.m_Breakers)
            EncodeBreaker(kSchemaVersion, buf, b);
        for (const SubfeedRecord& s : panel.m_Subfeeds)
            EncodeSubfeed(kSchemaVersion, buf, s);
    }
    for (const CtRecord& ct : config.m_Ct)
        EncodeCt(kSchemaVersion, buf, ct);
    if (buf.Error()) return false;
    out.assign(buf.Base(), buf.Base() + buf.WritePos());
    return true;
}

bool DecodeConfigPayload(UnitConfig& config, const uint8_t* data, size_t size) {
    if (size >= kConfigFileMaxPayload || (size > 0 && !data)) return false;
    std::vector<uint8_t> copy(data, data + size);
    MsgBuf buf(copy.data(), static_cast<int32_t>(size));
    if (buf.Get16() != kSchemaVersion || buf.Error()) return false;
    UnitConfig loaded;
    if (!DecodeUnit(kSchemaVersion, buf, loaded.m_Unit)) return false;
    for (PanelRecord& panel : loaded.m_Panels) {
        if (!DecodePanel(kSchemaVersion, buf, panel)) return false;
        for (BreakerRecord& b : panel.m_Breakers)
            if (!DecodeBreaker(kSchemaVersion, buf, b)) return false;
        for (SubfeedRecord& s : panel.m_Subfeeds)
            if (!DecodeSubfeed(kSchemaVersion, buf, s)) return false;
    }
    for (CtRecord& ct : loaded.m_Ct)
        if (!DecodeCt(kSchemaVersion, buf, ct)) return false;
    if (buf.Error() || buf.Unread() != 0) return false;
    config = std::move(loaded);
    return true;
}

bool EncodeConfigFile(const UnitConfig& config, std::vector<uint8_t>& out) {
    std::vector<uint8_t> payload;
    out.clear();
    if (!EncodeConfigPayload(config, payload)) return false;
    const uint32_t length = static_cast<uint32_t>(payload.size());
    out.reserve(kLengthBytes + payload.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), payload.begin(), payload.end());
    return true;
}

bool DecodeConfigFile(UnitConfig& config, const uint8_t* data, size_t size) {
    if (size < kLengthBytes || !data) return false;
    const uint32_t length = ReadLength(data);
    if (length >= kConfigFileMaxPayload || size - kLengthBytes != length) return false;
    return DecodeConfigPayload(config, data + kLengthBytes, length);
}

bool SaveConfigFile(const UnitConfig& config, const std::string& path) {
    std::vector<uint8_t> image;
    if (path.empty() || !EncodeConfigFile(config, image)) return false;
    // Replace the file a symbolic link points to, not the link.
    std::string target = path;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(path.c_str(), resolved)) return false;
        target = resolved;
    }
    TempFile temp;
    if (!temp.Create(DirName(target))) return false;
    // Keep the permissions of the file being replaced.
    if (::stat(target.c_str(), &st) == 0 && ::fchmod(temp.Fd(), st.st_mode & 07777) != 0)
        return false;
    if (!WriteAll(temp.Fd(), image.data(), image.size())) return false;
    if (!temp.Commit(target)) return false;
    SyncDir(DirName(target));
    return true;
}

bool LoadConfigFile(UnitConfig& config, int fd) {
    if (fd < 0) return false;
    std::vector<uint8_t> image(kLengthBytes + kConfigFileMaxPayload);
    if (ReadUpTo(fd, image.data(), kLengthBytes) != static_cast<ssize_t>(kLengthBytes))
        return false;
    const uint32_t length = ReadLength(image.data());
    if (length >= kConfigFileMaxPayload) return false;
    // One byte more than announced tells a longer file from an exact one.
    const ssize_t got = ReadUpTo(fd, image.data() + kLengthBytes, length + 1);
    if (got != static_cast<ssize_t>(length)) return false;
    return DecodeConfigFile(config, image.data(), kLengthBytes + length);
}

bool LoadConfigFile(UnitConfig& config, const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return LoadConfigFile(config, fd.Get());
}

}  // namespace jvo
