#pragma once
// The file part of the platform layer, beside ReplaceFile: opening and reading files without
// ever waiting on them, what a path names, folders, and the user's home folder. Paths are UTF-8
// text (on Windows they go through the wide-character calls). Descriptors are those of the C
// library on every platform.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace jvo {

// A descriptor, closed when the holder goes.
class FileHandle {
public:
    explicit FileHandle(int fd = -1) : m_Fd(fd) {}
    ~FileHandle() { Reset(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return m_Fd; }
    bool Valid() const { return m_Fd >= 0; }
    void Reset(int fd = -1);

private:
    int m_Fd;
};

// Opens a file for reading, in binary. A FIFO or a device chosen by mistake is opened without
// waiting and without becoming the controlling terminal. -1 (errno) on failure.
int OpenForReading(const std::string& path);
// Reads up to `size` bytes: the count, 0 at the end of the file, -1 (errno) on an error, also
// when nothing can be read without waiting.
int64_t ReadFromFile(int fd, void* data, size_t size);
// Closes a descriptor: false when the close reported an error.
bool CloseFile(int fd);

enum class PathKind {
    Missing,    // nothing there (or it cannot be looked at)
    Regular,    // a plain file
    Directory,  // a folder
    Other,      // a device, a FIFO, a socket
};
// What `path` names, links followed. With Missing, `error` (may be null) gets why, as an errno
// value: ENOENT when nothing is there, EACCES when it may not be looked at.
PathKind KindOf(const std::string& path, int* error = nullptr);
// The size of a regular file, -1 when unknown.
int64_t FileSize(const std::string& path);
// Whether this user may read the file.
bool MayRead(const std::string& path);
// Whether this user may create files in the folder.
bool MayCreateIn(const std::string& folder);
// Creates a folder and the folders above it that are missing; `ownerOnly` makes new ones
// accessible to this user alone. True when the folder exists afterwards.
bool MakeDirectories(const std::string& dir, bool ownerOnly = false);
// Removes a file (not a folder); false when it could not be removed.
bool RemoveFile(const std::string& path);
// Whether `c` separates folders in a path ('/', and '\\' on Windows).
bool IsPathSeparator(char c);
// The folder of a path: "." for a bare name, the root for a file in it.
std::string FolderOf(const std::string& path);

// A file that rows are appended to, each write flushed to the disk before it returns, so that a
// power loss keeps every row written before it.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens the file for appending, creating it (readable by everybody, as a new file normally
    // is) when it does not exist.
    bool Open(const std::string& path);
    bool Created() const { return m_Created; }  // Open() made the file
    int64_t Size() const;                       // -1 when unknown
    // The file's last byte; false for an empty file or when it cannot be read.
    bool LastByte(char& byte) const;
    // Writes all of `text` at the end and flushes it to the disk.
    bool Write(const std::string& text);
    // Cuts the file to nothing.
    bool Truncate();
    void Close();

private:
    intptr_t m_Handle = -1;  // a descriptor (POSIX) or a file handle (Windows)
    std::string m_Path;
    bool m_Created = false;
};

// Whether a stream of the C library is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

// The user's home folder ($HOME, else the password database; %USERPROFILE% on Windows), empty
// when none is known.
std::string HomeFolder();

// The folder for what a program keeps of its own between runs that is no setting, such as its
// log: $XDG_STATE_HOME when it is an absolute path, else ~/.local/state (/tmp/.local/state
// without a home folder); %LOCALAPPDATA% on Windows (else the home folder's AppData\Local).
std::string StateFolder();

// std::fopen with a UTF-8 path (the wide-character call on Windows); null (errno) on failure.
std::FILE* OpenStdFile(const std::string& path, const char* mode);
// Renames `from` to `to`, replacing a file that is there already.
bool RenameOver(const std::string& from, const std::string& to);

}  // namespace jvo
