// Replacing a file on Windows: a new file in the same folder, flushed, then put in the old one's
// place by ReplaceFileW (which keeps the old file's attributes and access list) or, when there is
// none yet, by MoveFileExW with the write-through flag.
#include "base/ReplaceFile.h"

#include <windows.h>
// windows.h names ReplaceFileW ReplaceFile as well: this file defines jvo::ReplaceFile.
#undef ReplaceFile

#include <random>

#include "base/Files.h"
#include "base/FormatStr.h"
#include "base/win32/Wide.h"

namespace jvo {

namespace {

// A file on the disk that is not a folder, links followed; empty when `path` names something
// else (a device, a pipe, a folder) or cannot be looked at. `exists` tells whether anything is
// there.
std::wstring RegularTarget(const std::wstring& path, bool& exists) {
    exists = false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    HANDLE h = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND && attributes == INVALID_FILE_ATTRIBUTES) return path;
        exists = true;
        return std::wstring();  // a dangling link, or nothing we may look at
    }
    exists = true;
    std::wstring target = path;
    if (GetFileType(h) != FILE_TYPE_DISK || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        target.clear();
    } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Replace the file a symbolic link points to, not the link.
        wchar_t buffer[MAX_PATH * 4];
        const DWORD n = GetFinalPathNameByHandleW(h, buffer, MAX_PATH * 4, FILE_NAME_NORMALIZED);
        target = n > 0 && n < MAX_PATH * 4 ? std::wstring(buffer, n) : std::wstring();
    }
    CloseHandle(h);
    return target;
}

// A new file next to the file it will replace; removed again unless it was moved into place.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        Close();
        if (!m_Name.empty()) DeleteFileW(m_Name.c_str());
    }

    bool Create(const std::wstring& dir) {
        std::random_device rd;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring name = dir + Widen(FormatStr("\\.jvo-save-%d-%08x.tmp",
                                                            static_cast<int>(GetCurrentProcessId()),
                                                            static_cast<unsigned>(rd())));
            HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                m_Name = name;
                m_Handle = h;
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS) return false;
        }
        return false;
    }

    bool Write(const char* data, size_t size) {
        while (size > 0) {
            const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(m_Handle, data, chunk, &written, nullptr) || written == 0) return false;
            data += written;
            size -= written;
        }
        return true;
    }

    // Flushes the file to the disk, closes it and puts it in the place of `target`.
    bool Commit(const std::wstring& target, bool replace) {
        if (!FlushFileBuffers(m_Handle) || !Close()) return false;
        bool moved = false;
        if (replace) {
            moved = ReplaceFileW(target.c_str(), m_Name.c_str(), nullptr,
                                 REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
        }
        // No file to replace (or it went meanwhile): a move, through to the disk.
        if (!moved)
            moved = MoveFileExW(m_Name.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (!moved) return false;
        m_Name.clear();
        return true;
    }

private:
    bool Close() {
        if (m_Handle == INVALID_HANDLE_VALUE) return true;
        const bool ok = CloseHandle(m_Handle) != 0;
        m_Handle = INVALID_HANDLE_VALUE;
        return ok;
    }

    HANDLE m_Handle = INVALID_HANDLE_VALUE;
    std::wstring m_Name;
};

}  // namespace

bool ReplaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    bool exists = false;
    const std::wstring target = RegularTarget(Widen(path), exists);
    if (target.empty()) return false;
    TempFile temp;
    if (!temp.Create(Widen(FolderOf(Narrow(target))))) return false;
    if (!temp.Write(bytes.data(), bytes.size())) return false;
    return temp.Commit(target, exists);
}

}  // namespace jvo
