// Filter conversion and the default extension.
#include "qtcommon/FileFilter.h"

#include <vector>

namespace jvo::qt {

std::string ToQtFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? bar : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string& name = parts[i];
        const std::string& patterns = parts[i + 1];
        if (name.empty()) break;  // the closing "||"
        std::string line = name;
        if (name.find('(') == std::string::npos) {
            std::string spaced = patterns;
            for (char& c : spaced)
                if (c == ';') c = ' ';
            line += " (" + spaced + ")";
        }
        if (!out.empty()) out += ";;";
        out += line;
    }
    return out.empty() ? filter : out;
}

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
    if (path.empty() || ext.empty() || path.back() == '/') return path;
    const std::string suffix = "." + ext;
    if (path.size() > suffix.size() &&
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
        return path;
    return path + suffix;
}

}  // namespace jvo::qt
