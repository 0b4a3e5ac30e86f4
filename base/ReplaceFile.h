#pragma once
// Replacing a file's contents without ever leaving a damaged file behind.
#include <string>
#include <string_view>

namespace jvo {

// Writes `bytes` to `path`: into a new file in the same folder, flushed to the disk and only then
// renamed over `path`. A symbolic link keeps pointing to the file, which is replaced; an existing
// file keeps its permissions. Anything but a regular file at `path` (a device, a FIFO, a socket, a
// folder) is refused, never replaced. On failure the previous file (if any) is untouched and the
// new file is removed.
bool ReplaceFile(const std::string& path, std::string_view bytes);

}  // namespace jvo
