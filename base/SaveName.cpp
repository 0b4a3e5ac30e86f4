#include "base/SaveName.h"

#include <cctype>

#include "base/Files.h"

namespace jvo {

namespace {

bool EndsWithNoCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    const size_t offset = text.size() - tail.size();
    for (size_t i = 0; i < tail.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[offset + i])) !=
            std::tolower(static_cast<unsigned char>(tail[i])))
            return false;
    }
    return true;
}

}  // namespace

std::string SaveAsName(const std::string& path, const std::string& ext) {
    const std::string bare = !ext.empty() && ext.front() == '.' ? ext.substr(1) : ext;
    if (path.empty() || path.back() == '/' || bare.empty()) return path;
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.back() == '.') return path + bare;
    const size_t dot = name.find('.', 1);
    if (dot != std::string::npos || EndsWithNoCase(name, "." + bare)) return path;
    return path + "." + bare;
}

std::string WhyNotSavable(const std::string& path) {
    if (path.empty()) return "no file name given";
    if (IsPathSeparator(path.back())) return path + " names a folder, not a file";
    const PathKind kind = KindOf(path);
    if (kind == PathKind::Directory) return path + " is a directory";
    if (kind == PathKind::Other) return path + " is not a regular file";
    const std::string folder = FolderOf(path);
    const PathKind folderKind = KindOf(folder);
    if (folderKind == PathKind::Missing) return "the folder " + folder + " does not exist";
    if (folderKind != PathKind::Directory) return folder + " is not a folder";
    if (!MayCreateIn(folder)) return "permission denied: you may not create files in " + folder;
    return {};
}

}  // namespace jvo
