#include "monitor/ServiceUser.h"

#include <cstdlib>
#include <fstream>

#include "base/Files.h"
#include "link/UserRegistry.h"

namespace jvo {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kKey = "HKEY_CURRENT_USER\\SOFTWARE\\Tessaly Corporation\\JVO";
constexpr std::string_view kValueName = "ZQT User";
constexpr std::string_view kSubKey = kKey.substr(kKey.find('\\') + 1);  // below HKEY_CURRENT_USER
constexpr size_t kMaxFileSize = 1 << 20;

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A value line: "name"=data or @=data (the key's default value). Names may hold \\ and \"
// escapes. False when the line is not a value line.
bool SplitValueLine(std::string_view line, std::string& name, std::string_view& data) {
    size_t pos = 0;
    name.clear();
    if (line.starts_with("@=")) {
        name = "@";
        pos = 1;
    } else {
        if (line.empty() || line[0] != '"') return false;
        for (pos = 1; pos < line.size() && line[pos] != '"'; ++pos) {
            if (line[pos] == '\\') {
                if (++pos >= line.size()) return false;
            }
            name += line[pos];
        }
        if (pos >= line.size()) return false;
        ++pos;  // the closing quote
    }
    if (pos >= line.size() || line[pos] != '=') return false;
    data = line.substr(pos + 1);
    return !data.empty();
}

// 1 for a non-zero dword, 0 for a zero one, -1 for anything else.
int DwordValue(std::string_view data) {
    constexpr std::string_view kDword = "dword:";
    if (!data.starts_with(kDword) || data.size() != kDword.size() + 8) return -1;
    bool nonZero = false;
    for (char c : data.substr(kDword.size())) {
        if (!IsHex(c)) return -1;
        if (c != '0') nonZero = true;
    }
    return nonZero ? 1 : 0;
}

}  // namespace

std::string ServiceUserFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        base = HomeFolder();
        if (base.empty()) return std::string();
        base += "/.config";
    }
    return base + "/Tessaly Corporation/JVO.conf";
}

bool ParseServiceUserFlag(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    bool underKey = false;
    bool flag = false;
    bool first = true;
    std::string name;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        const bool wasFirst = first;
        first = false;

        if (line.empty()) continue;
        if (wasFirst && line == kHeader) continue;
        if (line.front() == '[') {
            if (line.back() != ']') return false;
            underKey = SameNoCase(line.substr(1, line.size() - 2), kKey);
            continue;
        }
        std::string_view data;
        if (!SplitValueLine(line, name, data)) return false;
        if (underKey && SameNoCase(name, kValueName)) flag = DwordValue(data) == 1;
    }
    return flag;
}

bool ReadServiceUserFlag() {
    uint32_t value = 0;
    switch (ReadUserDword(std::string(kSubKey), std::string(kValueName), value)) {
        case RegistryRead::NoRegistry:
            return ReadServiceUserFlag(ServiceUserFilePath());
        case RegistryRead::Dword:
            return value != 0;
        case RegistryRead::Missing:
        case RegistryRead::NotDword:
            break;
    }
    return false;
}

bool ReadServiceUserFlag(const std::string& path) {
    if (path.empty()) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text;
    char chunk[4096];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxFileSize) return false;
    }
    if (in.bad()) return false;
    return ParseServiceUserFlag(text);
}

}  // namespace jvo
