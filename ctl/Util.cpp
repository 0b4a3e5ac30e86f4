#include <fcntl.h>
#include <unistd.h>

#include "config/ConfigFile.h"
#include "ctl/Commands.h"
#include "base/FormatStr.h"

namespace jvo::ctl {

namespace {

bool Contains(const std::vector<std::string_view>& list, std::string_view s) {
    for (std::string_view v : list)
        if (v == s) return true;
    return false;
}

}  // namespace

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
        const std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            args.positional.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            args.help = true;
        } else if (Contains(valued, arg)) {
            if (i + 1 >= argc) {
                args.error = FormatStr("option %s needs a value", std::string(arg));
                return args;
            }
            if (args.Find(arg)) {
                args.error = FormatStr("option %s given twice", std::string(arg));
                return args;
            }
            args.options.emplace_back(std::string(arg), argv[++i]);
        } else if (Contains(flags, arg)) {
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
    WriteText(stdout, FormatStr("Usage: jvoctl %s %s\n%s", command, usage, details));
    return kExitOk;
}

bool LoadForCommand(const std::string& path, UnitConfig& config) {
    // Non-blocking, so that a FIFO or terminal given by mistake cannot make the program wait.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        WriteText(stderr, FormatStr("Could not open configuration file: %s\n", path));
        return false;
    }
    const bool loaded = LoadConfigFile(config, fd);
    ::close(fd);
    if (!loaded) WriteText(stderr, FormatStr("Failed to load configuration from: %s\n", path));
    return loaded;
}

bool WriteText(FILE* stream, std::string_view text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
        return false;
    return std::fflush(stream) == 0;
}

}  // namespace jvo::ctl
