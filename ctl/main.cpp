// jvoctl: command-line service program for JVO configuration files.
#include <cstring>

#include "base/FormatStr.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

int RunReadings(int argc, char** argv);  // ReadingsCommand.cpp
int RunEvents(int argc, char** argv);    // EventsCommand.cpp
int RunRecord(int argc, char** argv);    // RecordCommand.cpp

namespace {

// One line per command.
constexpr Command kCommands[] = {
    {"check", "FILE [--fix OUT]", "check a configuration file, optionally correcting it", RunCheck},
    {"dump", "FILE", "print the text dump of a configuration file", RunDump},
    {"info", "(--com N | --device PATH | --proxy HOST[:PORT])", "identify a unit", RunInfo},
    {"ports", "", "list the COM ports that can be opened", RunPorts},
    {"extract", "(--com N | --device PATH) -o FILE", "save a unit's configuration", RunExtract},
    {"install", "(--com N | --device PATH) FILE", "install a configuration file", RunInstall},
    {"reset", "(--com N | --device PATH)", "reset a unit to its defaults", RunReset},
    {"readings", "(--com N | --device PATH | --proxy HOST[:PORT]) -o FILE",
     "dump one poll cycle of readings", RunReadings},
    {"events", "(--com N | --device PATH | --proxy HOST[:PORT]) -o FILE", "dump the event logs",
     RunEvents},
    {"record", "UNIT -o FILE.csv [--interval S] [--duration S]", "record readings", RunRecord},
};

std::string Overview() {
    std::string text =
        "Usage: jvoctl COMMAND [ARGS]\n"
        "       jvoctl --help | COMMAND --help\n"
        "\n"
        "Commands:\n";
    // Each command with its arguments on one line, the summary indented below it.
    for (const Command& c : kCommands) {
        text += *c.usage ? FormatStr("  %s %s\n", c.name, c.usage) : FormatStr("  %s\n", c.name);
        text += FormatStr("      %s\n", c.summary);
    }
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
        return WriteText(stdout, Overview()) ? kExitOk : kExitFile;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(name, c.name) == 0) return c.run(argc - 1, argv + 1);
    WriteText(stderr, FormatStr("jvoctl: unknown command '%s'\n", name) + Overview());
    return kExitUsage;
}

}  // namespace
}  // namespace jvo::ctl

int main(int argc, char** argv) {
    return jvo::ctl::Main(argc, argv);
}
