#include <cerrno>

#include "base/Files.h"
#include "base/FormatStr.h"
#include "base/OptionTable.h"
#include "base/Printable.h"
#include "config/ConfigFile.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

const std::string* Args::Find(std::string_view name) const {
    for (const auto& [key, value] : options)
        if (key == name) return &value;
    return nullptr;
}

Args ParseArgs(int argc, char** argv, const std::vector<std::string_view>& valued,
               const std::vector<std::string_view>& flags) {
    // jvoctl's words for a bad command line; a flag may be given twice.
    static const cmdline::OptionStyle style{.unknown = "unknown option %s",
                                            .needsValue = "option %s needs a value",
                                            .noValue = "option %s takes no value",
                                            .twice = "option %s given twice",
                                            .twiceFlags = false,
                                            .dashDashEnds = true};
    Args args;
    std::vector<cmdline::Option> rows{cmdline::HelpOption(args.help)};
    const auto row = [&args](std::string_view name, cmdline::Takes takes) {
        const std::string key(name);
        const bool isShort = name.size() == 2 && name[0] == '-' && name[1] != '-';
        return cmdline::Option{.name = isShort ? std::string() : key,
                               .shortName = isShort ? name[1] : '\0',
                               .takes = takes,
                               .take = [&args, key](std::string_view value, std::string&) {
                                   args.options.emplace_back(key, std::string(value));
                                   return true;
                               }};
    };
    for (std::string_view name : valued)
        rows.push_back(row(name, cmdline::Takes::VALUE));
    for (std::string_view name : flags)
        rows.push_back(row(name, cmdline::Takes::NOTHING));
    cmdline::ParseOptions(rows, style, cmdline::ArgumentsOf(argc, argv), args.positional,
                          args.error);
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
    int err = 0;
    const PathKind kind = KindOf(path, &err);
    if (kind == PathKind::Missing) {
        if (err == ENOENT) return path + " does not exist";
        if (err == EACCES) return "permission denied: you may not read " + path;
        return "cannot read " + path + ": " + cmdline::ErrorText(err);
    }
    if (kind == PathKind::Directory) return path + " is a directory";
    if (kind != PathKind::Regular) return path + " is not a regular file";
    if (!MayRead(path)) return "permission denied: you may not read " + path;
    const auto size = static_cast<unsigned long long>(FileSize(path));
    if (size < 4 + kEmptyConfigPayload)
        return FormatStr("%s is %llu bytes, too short for a configuration file", path, size);
    if (size > 4 + kConfigFileMaxPayload)
        return FormatStr("%s is %llu bytes, too long for a configuration file", path, size);
    return path + " is not a configuration file of schema 4, or it is damaged";
}

bool LoadForCommand(const std::string& path, UnitConfig& config) {
    // Non-blocking, so that a FIFO or terminal given by mistake cannot make the program wait.
    FileHandle fd(OpenForReading(path));
    if (!fd.Valid()) {
        WriteText(stderr, FormatStr("Could not open configuration file: %s\n", path));
        WriteText(stderr, WhyNotLoadable(path) + "\n");
        return false;
    }
    const bool loaded = LoadConfigFile(config, fd.Get());
    fd.Reset();
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
