// jvoctl: command-line service program for JVO configuration files.
#include <cstdio>
#include <cstring>

#include "base/FormatStr.h"
#include "ctl/Commands.h"
#include "link/StopRequest.h"

namespace jvo::ctl {

int RunReadings(int argc, char** argv);  // ReadingsCommand.cpp
int RunEvents(int argc, char** argv);    // EventsCommand.cpp
int RunRecord(int argc, char** argv);    // RecordCommand.cpp

namespace {

// One line per command.
constexpr Command kCommands[] = {
    {"check", "FILE [--fix OUT]", "check a configuration file, optionally correcting it", RunCheck},
    {"dump", "FILE", "print the text dump of a configuration file", RunDump},
    {"diff", "FILE1 FILE2", "list what differs between two configuration files", RunDiff},
    {"info", "UNIT", "identify a unit", RunInfo},
    {"ports", "", "list the COM ports that can be opened", RunPorts},
    {"extract", "UNIT -o FILE [--as-is]", "save a unit's configuration", RunExtract},
    {"install", "UNIT FILE", "install a configuration file", RunInstall},
    {"reset", "UNIT", "reset a unit to its defaults", RunReset},
    {"readings", "UNIT -o FILE", "dump one poll cycle of readings", RunReadings},
    {"events", "UNIT -o FILE", "dump the event logs", RunEvents},
    {"record", "UNIT -o FILE.csv [--interval S] [--duration S]", "record readings", RunRecord},
};

std::string Overview() {
    std::string text =
        "Usage: jvoctl COMMAND [ARGS]\n"
        "       jvoctl --help | --version | COMMAND --help\n"
        "\n"
        "Commands:\n";
    // Each command with its arguments on one line, the summary indented below it.
    for (const Command& c : kCommands) {
        text += *c.usage ? FormatStr("  %s %s\n", c.name, c.usage) : FormatStr("  %s\n", c.name);
        text += FormatStr("      %s\n", c.summary);
    }
    text +=
        "\n"
        "UNIT is the unit to talk to: --com N (a COM port, see `jvoctl ports`), --device PATH\n"
        "(a serial device) or --proxy HOST[:PORT] (a proxy server, port 43015 unless given;\n"
        "HOST \".\" is this machine; --proxy tls://HOST[:PORT] with --tls-ca FILE, --tls-cert "
        "FILE\n"
        "and --tls-key FILE over TLS), optionally with --timeout MS for each reply (default 250).\n"
        "Options take their value as the next argument or after '=' (--com=5). Texts from\n"
        "files and units (names, version texts) are printed with control characters as \\xNN.\n"
        "\n"
        "Exit status: 0 success, 1 the work did not complete, 3 a file problem, 4 the unit\n"
        "cannot be reached or does not answer, 64 bad command line, 74 the output could not be\n"
        "written (check: 1 minor, 2 serious errors; diff: 1 the files differ). COMMAND --help\n"
        "tells more.\n";
    return text;
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        WriteText(stderr, "jvoctl: missing COMMAND\n" + Overview());
        return kExitUsage;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0 ||
        std::strcmp(name, "help") == 0) {
        return WriteText(stdout, Overview()) ? kExitOk : kExitOutput;
    }
    if (std::strcmp(name, "--version") == 0)
        return WriteText(stdout, cmdline::VersionText("jvoctl")) ? kExitOk : kExitOutput;
    for (const Command& c : kCommands)
        if (std::strcmp(name, c.name) == 0) return c.run(argc - 1, argv + 1);
    WriteText(stderr, FormatStr("jvoctl: unknown command '%s'\n", name) + Overview());
    return kExitUsage;
}

}  // namespace
}  // namespace jvo::ctl

int main(int argc, char** argv) {
    // A closed pipe on standard output is an output error (exit 74), not a silent death.
    jvo::IgnoreBrokenPipes();
    return jvo::ctl::Main(argc, argv);
}
