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
// What `path` names, links followed.
PathKind KindOf(const std::string& path);
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

// Whether a stream of the C library is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

// The user's home folder ($HOME, else the password database; %USERPROFILE% on Windows), empty
// when none is known.
std::string HomeFolder();

}  // namespace jvo
