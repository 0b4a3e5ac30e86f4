// Files on Windows: wide-character calls, descriptors of the C library.
#include "base/Files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "base/win32/Wide.h"

namespace jvo {

namespace {

// A handle opened only to look at what a path names (no reading, no writing).
HANDLE OpenToLookAt(const std::string& path) {
    return CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

void SetErrno(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            errno = EACCES;
            break;
        default:
            errno = EIO;
            break;
    }
}

}  // namespace

void FileHandle::Reset(int fd) {
    if (m_Fd >= 0) _close(m_Fd);
    m_Fd = fd;
}

int OpenForReading(const std::string& path) {
    // Only a file on a disk: a COM port or a pipe named by mistake would make a read wait.
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        SetErrno(GetLastError());
        return -1;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        errno = EINVAL;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}

int64_t ReadFromFile(int fd, void* data, size_t size) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
    return _read(fd, data, chunk);
}

bool CloseFile(int fd) {
    return _close(fd) == 0;
}

PathKind KindOf(const std::string& path, int* error) {
    if (path.empty()) {
        if (error) *error = ENOENT;
        return PathKind::Missing;
    }
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return PathKind::Directory;
    HANDLE h = OpenToLookAt(path);
    if (h == INVALID_HANDLE_VALUE) {
        if (attributes != INVALID_FILE_ATTRIBUTES) return PathKind::Regular;
        SetErrno(GetLastError());
        if (error) *error = errno;
        return PathKind::Missing;
    }
    const DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? PathKind::Regular : PathKind::Other;
}

int64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                                data.nFileSizeLow);
}

bool MayRead(const std::string& path) {
    HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool MayCreateIn(const std::string& folder) {
    // Windows decides by access lists: the one sure answer is to create a file there (it goes
    // again as it is closed).
    const std::string probe = folder + "\\.jvo-probe-" + std::to_string(GetCurrentProcessId()) +
                              "-" + std::to_string(GetTickCount64()) + ".tmp";
    HANDLE h = CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool MakeDirectories(const std::string& dir, bool ownerOnly) {
    (void)ownerOnly;  // a folder below the user's profile is the user's own already
    if (dir.empty()) return false;
    for (size_t pos = 0; pos != std::string::npos;) {
        pos = dir.find_first_of("/\\", pos + 1);
        const std::string partial = dir.substr(0, pos);
        // Skip the drive ("C:") and the server and share of a UNC path.
        if (partial.empty() || partial.back() == ':' || partial.rfind("\\\\", 0) == 0 ||
            partial.rfind("//", 0) == 0)
            continue;
        if (!CreateDirectoryW(Widen(partial).c_str(), nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_ACCESS_DENIED)
            return false;
    }
    return KindOf(dir) == PathKind::Directory;
}

bool RemoveFile(const std::string& path) {
    return DeleteFileW(Widen(path).c_str()) != 0;
}

bool IsPathSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : ".";
    if (slash == 0) return path.substr(0, 1);
    if (slash == 2 && path[1] == ':') return path.substr(0, 3);  // "C:\"
    return path.substr(0, slash);
}

AppendFile::~AppendFile() {
    Close();
}

void AppendFile::Close() {
    if (m_Handle != -1) CloseHandle(reinterpret_cast<HANDLE>(m_Handle));
    m_Handle = -1;
}

bool AppendFile::Open(const std::string& path) {
    HANDLE h = CreateFileW(Widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    m_Created = GetLastError() != ERROR_ALREADY_EXISTS;
    m_Handle = reinterpret_cast<intptr_t>(h);
    m_Path = path;
    return true;
}

int64_t AppendFile::Size() const {
    LARGE_INTEGER size{};
    if (m_Handle == -1 || !GetFileSizeEx(reinterpret_cast<HANDLE>(m_Handle), &size)) return -1;
    return static_cast<int64_t>(size.QuadPart);
}

bool AppendFile::LastByte(char& byte) const {
    const int64_t size = Size();
    if (size <= 0) return false;
    HANDLE in = CreateFileW(Widen(m_Path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(size - 1));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(size - 1) >> 32);
    DWORD got = 0;
    const bool read = ReadFile(in, &byte, 1, &got, &at) && got == 1;
    CloseHandle(in);
    return read;
}

bool AppendFile::Write(const std::string& text) {
    if (m_Handle == -1) return false;
    HANDLE h = reinterpret_cast<HANDLE>(m_Handle);
    size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        const DWORD chunk =
            static_cast<DWORD>(text.size() - done > 0x10000000u ? 0x10000000u : text.size() - done);
        if (!WriteFile(h, text.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return FlushFileBuffers(h) != 0;
}

bool AppendFile::Truncate() {
    if (m_Handle == -1) return false;
    // The handle only appends: the file is cut through a second one.
    HANDLE h = CreateFileW(Widen(m_Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool IsTerminal(FILE* stream) {
    return _isatty(_fileno(stream)) != 0;
}

std::string HomeFolder() {
    if (const wchar_t* profile = _wgetenv(L"USERPROFILE"); profile && *profile)
        return Narrow(profile);
    const wchar_t* drive = _wgetenv(L"HOMEDRIVE");
    const wchar_t* path = _wgetenv(L"HOMEPATH");
    if (drive && path && *path) return Narrow(std::wstring(drive) + path);
    return std::string();
}

std::string StateFolder() {
    if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) return Narrow(local);
    const std::string home = HomeFolder();
    return home.empty() ? std::string("C:\\") : home + "\\AppData\\Local";
}

std::FILE* OpenStdFile(const std::string& path, const char* mode) {
    return _wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

bool RenameOver(const std::string& from, const std::string& to) {
    if (MoveFileExW(Widen(from).c_str(), Widen(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    SetErrno(GetLastError());
    return false;
}

}  // namespace jvo
