#pragma once
// The commands of jvoctl and the helpers they share. A command is a function that gets its own
// arguments (argv[0] is the command name) and returns the process exit status.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "base/CmdLine.h"
#include "base/SaveName.h"
#include "config/UnitConfig.h"

namespace jvo::ctl {

struct Command {
    const char* name;
    const char* usage;    // arguments after the command name, e.g. "FILE [--fix OUT]"
    const char* summary;  // one line for the command list
    int (*run)(int argc, char** argv);
};

// Exit statuses: those of every program (base/CmdLine.h), and check's own findings.
using cmdline::kExitDiffer;      // 1: diff: the configurations differ
using cmdline::kExitFailed;      // 1: the work did not complete
using cmdline::kExitFile;        // 3: a file could not be read, loaded or written
using cmdline::kExitNoUnit;      // 4: the unit cannot be reached or does not answer
using cmdline::kExitOk;          // 0
using cmdline::kExitOutput;      // 74: standard output could not be written
using cmdline::kExitUsage;       // 64: bad command line
constexpr int kExitMinor = 1;    // check: minor errors only
constexpr int kExitSerious = 2;  // check: serious errors

int RunCheck(int argc, char** argv);
int RunDump(int argc, char** argv);
int RunDiff(int argc, char** argv);  // DiffCommand.cpp
int RunInfo(int argc, char** argv);
int RunPorts(int argc, char** argv);
int RunExtract(int argc, char** argv);  // CmdTool.cpp
int RunInstall(int argc, char** argv);  // CmdTool.cpp
int RunReset(int argc, char** argv);    // CmdTool.cpp

// ---- helpers (Util.cpp) ----

// A command line split into options and positional arguments. `valued` names the options that
// take a value, given as the following argument or as "--option=value"; "--" ends the options.
struct Args {
    std::vector<std::pair<std::string, std::string>> options;  // in command-line order
    std::vector<std::string> positional;
    std::string error;  // non-empty when the command line is malformed
    bool help = false;  // -h or --help was given

    // The value of option `name`, or null when absent.
    const std::string* Find(std::string_view name) const;
};
Args ParseArgs(int argc, char** argv, const std::vector<std::string_view>& valued,
               const std::vector<std::string_view>& flags = {});

// Prints "jvoctl: <message>" and the command's usage line to stderr; returns kExitUsage.
int UsageError(const char* command, const char* usage, const std::string& message);
// Prints the command's usage line and `details` to stdout; returns kExitOk, or kExitOutput when
// standard output cannot be written.
int PrintCommandHelp(const char* command, const char* usage, const char* details);

// Loads a configuration file, reporting a failure on stderr with the configuration tool's texts
// and a line that says why.
bool LoadForCommand(const std::string& path, UnitConfig& config);
// Why `path` cannot be loaded as a configuration file, in words for the user ("unit.cfg is a
// directory", "unit.cfg is 3 bytes, too short for a configuration file").
std::string WhyNotLoadable(const std::string& path);

// A copy of `config` whose texts (unit, panel, breaker and subfeed names, passwords) have their
// control characters escaped (base/Printable.h), for every report jvoctl prints: a name cannot
// drive the terminal or forge a line. Files are always written from the configuration itself.
UnitConfig PrintableConfig(const UnitConfig& config);

// Writes all of `text` to `stream`; false when the stream reports an error.
bool WriteText(FILE* stream, std::string_view text);
// Prints "jvoctl <command>: <text>" on stderr: the one line that tells the user what went wrong
// and what to do.
void Explain(const char* command, const std::string& text);

}  // namespace jvo::ctl
