#include "tool/FileFilter.h"

#include <cctype>
#include <vector>

namespace jvo::tool {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(
            text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The name without a trailing "(...)", whose patterns would otherwise be read as the filter's.
std::string BareName(const std::string& name) {
    std::string bare = Trim(name);
    if (!bare.empty() && bare.back() == ')') {
        const size_t open = bare.rfind('(');
        if (open != std::string::npos) bare = Trim(bare.substr(0, open));
    }
    return bare;
}

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

std::string ToQtFilter(const std::string& filter) {
    // The list ends at the first empty field ("||").
    const std::vector<std::string> fields = Split(filter, '|');
    std::string out;
    for (size_t i = 0; i < fields.size() && !fields[i].empty(); i += 2) {
        std::string patterns;
        if (i + 1 < fields.size()) {
            for (const std::string& p : Split(fields[i + 1], ';')) {
                const std::string pattern = Trim(p);
                if (pattern.empty()) continue;
                if (!patterns.empty()) patterns += ' ';
                patterns += pattern;
            }
        }
        const std::string name = BareName(fields[i]);
        std::string entry = patterns.empty() ? name
                            : name.empty()   ? "(" + patterns + ")"
                                             : name + " (" + patterns + ")";
        if (entry.empty()) continue;
        if (!out.empty()) out += ";;";
        out += entry;
    }
    return out;
}

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
    const std::string bare = !ext.empty() && ext.front() == '.' ? ext.substr(1) : ext;
    if (path.empty() || path.back() == '/' || bare.empty()) return path;
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() > bare.size() && EndsWithNoCase(name, "." + bare)) return path;
    return path.back() == '.' ? path + bare : path + "." + bare;
}

}  // namespace jvo::tool
