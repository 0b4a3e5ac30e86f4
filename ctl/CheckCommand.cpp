// jvoctl check FILE [--fix OUT]: runs the configuration check on a file and prints its findings.
#include "base/FormatStr.h"
#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "ctl/Commands.h"

namespace jvo::ctl {

namespace {

constexpr const char* kName = "check";
constexpr const char* kUsage = "FILE [--fix OUT]";
constexpr const char* kDetails =
    "Checks the configuration in FILE and prints\n"
    "  RESULT <bits>   (1 corrected, 2 minor errors, 4 serious errors)\n"
    "  MINOR:          followed by the minor errors (lines end in CR LF)\n"
    "  SERIOUS:        followed by the serious errors\n"
    "\n"
    "  --fix OUT       also correct the minor errors and save the result to OUT. Correcting can\n"
    "                  reveal or clear serious errors; OUT is written only when the corrected\n"
    "                  configuration has none, otherwise they are printed on stderr.\n"
    "\n"
    "Exit status: 0 no findings, 1 minor errors only, 2 serious errors (with --fix: in the\n"
    "corrected configuration), 3 a file could not be read or written, 64 bad command line,\n"
    "74 the output could not be written.\n";

int StatusOf(int result) {
    if (result & CHECK_SERIOUS) return kExitSerious;
    if (result & CHECK_MINOR) return kExitMinor;
    return kExitOk;
}

}  // namespace

int RunCheck(int argc, char** argv) {
    const Args args = ParseArgs(argc, argv, {"--fix"});
    if (!args.error.empty()) return UsageError(kName, kUsage, args.error);
    if (args.help) return PrintCommandHelp(kName, kUsage, kDetails);
    if (args.positional.size() != 1)
        return UsageError(kName, kUsage,
                          args.positional.empty() ? "missing FILE" : "too many arguments");
    const std::string& path = args.positional[0];
    const std::string* fixPath = args.Find("--fix");
    if (fixPath && fixPath->empty()) return UsageError(kName, kUsage, "empty OUT");

    UnitConfig config;
    if (!LoadForCommand(path, config)) return kExitFile;

    // The report names breakers and subfeeds; it is made from a copy with printable names (the
    // check judges no name, so its findings are the same).
    std::string minor;
    std::string serious;
    UnitConfig shown = PrintableConfig(config);
    const int result = ConfigCheck(shown, false, &minor, &serious);
    const std::string report =
        FormatStr("RESULT %d\nMINOR:\n", result) + minor + "SERIOUS:\n" + serious;
    if (!WriteText(stdout, report)) return kExitOutput;
    if (!fixPath) return StatusOf(result);

    // The correcting run decides: its corrections can change what the later checks see.
    const int fixed = ConfigCheck(config, true, nullptr, nullptr);
    if (fixed & CHECK_SERIOUS) {
        std::string fixSerious;
        shown = PrintableConfig(config);
        ConfigCheck(shown, false, nullptr, &fixSerious);
        WriteText(stderr,
                  FormatStr("Serious errors remain after correction; %s not written:\n", *fixPath) +
                      fixSerious);
        return kExitSerious;
    }
    if (!SaveConfigFile(config, *fixPath)) {
        WriteText(stderr, FormatStr("Failed to save configuration to: %s\n", *fixPath));
        const std::string why = WhyNotSavable(*fixPath);
        Explain(kName, why.empty() ? "the file could not be written (is the disk full?)" : why);
        return kExitFile;
    }
    WriteText(stderr, FormatStr("Successfully saved configuration to: %s\n", *fixPath));
    return StatusOf((result | fixed) & ~CHECK_SERIOUS);
}

}  // namespace jvo::ctl
