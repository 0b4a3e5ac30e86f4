// Parsing of "--name value" and "--name=value" options.
#include "qtcommon/CommandLine.h"

#include <cstdio>
#include <cstdlib>

namespace jvo::qt {

namespace {

// The options the toolkit reads from its command line: those of the application objects
// (-style, -stylesheet, -widgetcount, -reverse, -session, -plugin, -testability, -qmljsdebugger=),
// of the platform integration (-platform, -platformpluginpath, -platformtheme, -qwindowgeometry,
// -qwindowtitle, -qwindowicon) and of the X11 platform (-display, -geometry, -title, -icon,
// -name, -visual, -sync, -nograb, -dograb).
constexpr const char* kToolkitWithValue[] = {
    "platform",     "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowtitle", "qwindowicon",        "session",       "style",  "stylesheet",
    "display",      "geometry",           "title",         "icon",   "name",
    "visual"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "testability",
                                         "sync",    "nograb",      "dograb"};
// Taking their value only after "=".
constexpr const char* kToolkitJoined[] = {"style", "stylesheet", "qmljsdebugger"};

template <size_t N>
bool Listed(const char* const (&list)[N], const std::string& name) {
    for (const char* n : list)
        if (name == n) return true;
    return false;
}

}  // namespace

bool CommandLine::TakeToolkitOption(const std::vector<std::string>& args, size_t& i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') return false;
    // One dash, or two as the toolkit also reads them; never one of ours.
    const std::string name = a.substr(a[1] == '-' ? 2 : 1);
    if (a[1] == '-' && Find(name.substr(0, name.find('='))) != nullptr) return false;
    const size_t eq = name.find('=');
    if (eq != std::string::npos) {
        if (!Listed(kToolkitJoined, name.substr(0, eq))) return false;
        m_Toolkit.push_back(a);
        return true;
    }
    if (Listed(kToolkitFlags, name)) {
        m_Toolkit.push_back(a);
        return true;
    }
    if (!Listed(kToolkitWithValue, name)) return false;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        m_Error = "option '" + a + "' needs a value";
        return false;
    }
    m_Toolkit.push_back(a);
    m_Toolkit.push_back(args[++i]);
    return true;
}

const OptionDef* CommandLine::Find(const std::string& name) const {
    for (const OptionDef& s : m_Defs)
        if (s.name == name) return &s;
    return nullptr;
}

bool CommandLine::Parse(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return Parse(args);
}

bool CommandLine::Parse(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            m_Help = true;
            continue;
        }
        if (TakeToolkitOption(args, i)) continue;
        if (!m_Error.empty()) return false;
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            m_Error = "unexpected argument '" + a + "'";
            return false;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        const OptionDef* def = Find(name);
        if (!def) {
            m_Error = "unknown option '--" + name + "'";
            return false;
        }
        if (m_Values.count(name)) {
            m_Error = "option '--" + name + "' given twice";
            return false;
        }
        std::string value;
        if (eq != std::string::npos) {
            if (!def->takesValue) {
                m_Error = "option '--" + name + "' takes no value";
                return false;
            }
            value = a.substr(eq + 1);
        } else if (def->takesValue) {
            if (i + 1 >= args.size()) {
                m_Error = "option '--" + name + "' needs a value";
                return false;
            }
            value = args[++i];
        }
        if (def->takesValue && value.empty()) {
            m_Error = "option '--" + name + "' needs a value";
            return false;
        }
        m_Values[name] = value;
    }
    return true;
}

std::string CommandLine::Value(const std::string& name) const {
    const auto it = m_Values.find(name);
    return it == m_Values.end() ? std::string() : it->second;
}

bool CommandLine::IntValue(const std::string& name, int lo, int hi, int& out) {
    const std::string v = Value(name);
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < lo || n > hi) {
        m_Error = "option '--" + name + "' needs a number " + std::to_string(lo) + ".." +
                  std::to_string(hi) + ", not '" + v + "'";
        return false;
    }
    out = static_cast<int>(n);
    return true;
}

ToolkitArgv::ToolkitArgv(const char* program, const std::vector<std::string>& options) {
    m_Strings.emplace_back(program ? program : "");
    m_Strings.insert(m_Strings.end(), options.begin(), options.end());
    for (std::string& s : m_Strings)
        m_Argv.push_back(s.data());
    m_Argc = static_cast<int>(m_Strings.size());
    m_Argv.push_back(nullptr);
}

std::vector<std::string> ToolkitArgv::Unused() const {
    std::vector<std::string> left;
    for (int i = 1; i < m_Argc && m_Argv[static_cast<size_t>(i)]; ++i)
        left.emplace_back(m_Argv[static_cast<size_t>(i)]);
    return left;
}

int UsageError(const std::string& program, const std::string& error, const std::string& usage) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(), usage.c_str());
    return kExitUsage;
}

}  // namespace jvo::qt
