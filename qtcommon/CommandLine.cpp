// Parsing of "--name value" and "--name=value" options.
#include "qtcommon/CommandLine.h"

#include <cstdio>

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

const cmdline::OptionStyle& WindowOptionStyle() {
    static const cmdline::OptionStyle style{.unexpected = "unexpected argument '%s'",
                                            .twice = "option '%s' given twice",
                                            .twiceFirst = true,
                                            .emptyIsMissing = true,
                                            .looks = cmdline::Looks::DOUBLE_DASH};
    return style;
}

cmdline::TakeValue IntOption(const std::string& name, int lo, int hi, int& out) {
    return [name, lo, hi, &out](std::string_view value, std::string& error) {
        long n = 0;
        if (!cmdline::ParseNumber(value, lo, hi, n)) {
            error = "option '" + name + "' needs a number " + std::to_string(lo) + ".." +
                    std::to_string(hi) + ", not '" + std::string(value) + "'";
            return false;
        }
        out = static_cast<int>(n);
        return true;
    };
}

CommandLine::CommandLine(std::vector<OptionDef> defs) {
    for (const OptionDef& def : defs)
        m_Rows.push_back(
            {.name = "--" + def.name,
             .takes = def.takesValue ? cmdline::Takes::VALUE : cmdline::Takes::NOTHING});
    // Noted by Parse, as every row is (HelpWanted, VersionWanted).
    bool unused = false;
    for (cmdline::Option row : {cmdline::HelpOption(unused), cmdline::VersionOption(unused)}) {
        row.take = nullptr;
        m_Rows.push_back(std::move(row));
    }
}

CommandLine CommandLine::WithTable(std::vector<cmdline::Option> rows) {
    CommandLine cl({});
    cl.m_Rows = std::move(rows);
    return cl;
}

int CommandLine::TakeToolkitOption(const std::vector<std::string>& args, size_t i,
                                   std::string& error) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') return 0;
    // One dash, or two as the toolkit also reads them; never one of ours (the table's rows are
    // matched first).
    const std::string name = a.substr(a[1] == '-' ? 2 : 1);
    const size_t eq = name.find('=');
    if (eq != std::string::npos) return Listed(kToolkitJoined, name.substr(0, eq)) ? 1 : 0;
    if (Listed(kToolkitFlags, name)) return 1;
    if (!Listed(kToolkitWithValue, name)) return 0;
    if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "option '" + a + "' needs a value";
        return -1;
    }
    return 2;
}

bool CommandLine::Parse(int argc, const char* const* argv) {
    return Parse(cmdline::ArgumentsOf(argc, argv));
}

bool CommandLine::Parse(const std::vector<std::string>& args) {
    // Each row also notes that it was given and keeps its value, for Has and Value.
    std::vector<cmdline::Option> rows = m_Rows;
    for (cmdline::Option& row : rows) {
        const std::string name = row.name.size() > 2 ? row.name.substr(2) : row.name;
        row.take = [this, name, take = row.take](std::string_view value, std::string& error) {
            m_Given.insert(name);
            m_Values[name] = std::string(value);
            return !take || take(value, error);
        };
    }
    std::vector<std::string> arguments;
    const auto toolkit = [this](const std::vector<std::string>& all, size_t i, std::string& error) {
        const int taken = TakeToolkitOption(all, i, error);
        for (int k = 0; k < taken; ++k)
            m_Toolkit.push_back(all[i + static_cast<size_t>(k)]);
        return taken;
    };
    return cmdline::ParseOptions(rows, WindowOptionStyle(), args, arguments, m_Error, toolkit);
}

std::string CommandLine::Value(const std::string& name) const {
    const auto it = m_Values.find(name);
    return it == m_Values.end() ? std::string() : it->second;
}

bool CommandLine::IntValue(const std::string& name, int lo, int hi, int& out) {
    return IntOption("--" + name, lo, hi, out)(Value(name), m_Error);
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
    return cmdline::kExitUsage;
}

}  // namespace jvo::qt
