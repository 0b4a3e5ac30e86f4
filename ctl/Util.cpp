#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/FormatStr.h"
#include "base/Printable.h"
#include "config/ConfigFile.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

namespace {

bool Contains(const std::vector<std::string_view>& list, std::string_view s) {
    for (std::string_view v : list)
        if (v == s) return true;
    return false;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The held signals' state; only what a signal handler may touch.
volatile sig_atomic_t g_Interrupted = 0;
const char* g_Notice = nullptr;
size_t g_NoticeLength = 0;

void OnHeldSignal(int) {
    if (g_Interrupted) return;
    g_Interrupted = 1;
    const int saved = errno;
    if (g_Notice) (void)!::write(STDERR_FILENO, g_Notice, g_NoticeLength);
    errno = saved;
}

constexpr int kHeldSignals[2] = {SIGINT, SIGTERM};

}  // namespace

HeldInterrupts::HeldInterrupts(std::string notice) : m_Notice(std::move(notice)) {
    g_Interrupted = 0;
    g_Notice = m_Notice.c_str();
    g_NoticeLength = m_Notice.size();
    struct sigaction action {};
    action.sa_handler = OnHeldSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the questions and the link's calls go on undisturbed
    for (int i = 0; i < 2; ++i)
        ::sigaction(kHeldSignals[i], &action, &m_Old[i]);
}

HeldInterrupts::~HeldInterrupts() {
    for (int i = 0; i < 2; ++i)
        ::sigaction(kHeldSignals[i], &m_Old[i], nullptr);
    g_Notice = nullptr;
}

bool HeldInterrupts::Arrived() const {
    return g_Interrupted != 0;
}

const std::string* Args::Find(std::string_view name) const {
    for (const auto& [key, value] : options)
        if (key == name) return &value;
    return nullptr;
}

Args ParseArgs(int argc, char** argv, const std::vector<std::string_view>& valued,
               const std::vector<std::string_view>& flags) {
    Args args;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            args.positional.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            args.help = true;
            continue;
        }
        std::string_view inlineValue;
        const bool hasInline = cmdline::SplitInlineValue(arg, arg, inlineValue);
        if (Contains(valued, arg)) {
            if (!hasInline && i + 1 >= argc) {
                args.error = FormatStr("option %s needs a value", std::string(arg));
                return args;
            }
            if (args.Find(arg)) {
                args.error = FormatStr("option %s given twice", std::string(arg));
                return args;
            }
            args.options.emplace_back(std::string(arg),
                                      hasInline ? std::string(inlineValue) : argv[++i]);
        } else if (Contains(flags, arg)) {
            if (hasInline) {
                args.error = FormatStr("option %s takes no value", std::string(arg));
                return args;
            }
            args.options.emplace_back(std::string(arg), std::string());
        } else {
            args.error = FormatStr("unknown option %s", std::string(arg));
            return args;
        }
    }
    return args;
}

int UsageError(const char* command, const char* usage, const std::string& message) {
    WriteText(stderr, FormatStr("jvoctl: %s\nUsage: jvoctl %s %s\n", message, command, usage));
    return kExitUsage;
}

int PrintCommandHelp(const char* command, const char* usage, const char* details) {
    return WriteText(stdout, FormatStr("Usage: jvoctl %s %s\n%s", command, usage, details))
               ? kExitOk
               : kExitOutput;
}

std::string WhyNotLoadable(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT) return path + " does not exist";
        if (err == EACCES) return "permission denied: you may not read " + path;
        return "cannot read " + path + ": " + cmdline::ErrorText(err);
    }
    if (S_ISDIR(st.st_mode)) return path + " is a directory";
    if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    if (::access(path.c_str(), R_OK) != 0) return "permission denied: you may not read " + path;
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size < 4 + kEmptyConfigPayload)
        return FormatStr("%s is %llu bytes, too short for a configuration file", path, size);
    if (size > 4 + kConfigFileMaxPayload)
        return FormatStr("%s is %llu bytes, too long for a configuration file", path, size);
    return path + " is not a configuration file of schema 4, or it is damaged";
}

std::string WhyNotSavable(const std::string& path) {
    if (path.empty()) return "no file name given";
    if (path.back() == '/') return path + " names a folder, not a file";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return path + " is a directory";
        if (!S_ISREG(st.st_mode)) return path + " is not a regular file";
    }
    const std::string folder = FolderOf(path);
    if (::stat(folder.c_str(), &st) != 0) return "the folder " + folder + " does not exist";
    if (!S_ISDIR(st.st_mode)) return folder + " is not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "permission denied: you may not create files in " + folder;
    return {};
}

bool LoadForCommand(const std::string& path, UnitConfig& config) {
    // Non-blocking, so that a FIFO or terminal given by mistake cannot make the program wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        WriteText(stderr, FormatStr("Could not open configuration file: %s\n", path));
        WriteText(stderr, WhyNotLoadable(path) + "\n");
        return false;
    }
    const bool loaded = LoadConfigFile(config, fd);
    ::close(fd);
    if (!loaded) {
        WriteText(stderr, FormatStr("Failed to load configuration from: %s\n", path));
        WriteText(stderr, WhyNotLoadable(path) + "\n");
    }
    return loaded;
}

UnitConfig PrintableConfig(const UnitConfig& config) {
    UnitConfig out = config;
    out.m_Unit.m_UnitName = Printable(out.m_Unit.m_UnitName);
    for (PanelRecord& panel : out.m_Panels) {
        for (std::string* text :
             {&panel.m_PanelName, &panel.m_Password1, &panel.m_Password2, &panel.m_MainFeed.m_Name})
            *text = Printable(*text);
        for (BreakerRecord& b : panel.m_Breakers)
            b.m_Name = Printable(b.m_Name);
        for (SubfeedRecord& s : panel.m_Subfeeds)
            s.m_Name = Printable(s.m_Name);
    }
    return out;
}

bool WriteText(FILE* stream, std::string_view text) {
    return cmdline::WriteAll(stream, text);
}

void Explain(const char* command, const std::string& text) {
    WriteText(stderr, FormatStr("jvoctl %s: %s\n", command, text));
}

}  // namespace jvo::ctl
