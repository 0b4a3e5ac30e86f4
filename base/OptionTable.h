#pragma once
// The one command-line parser of every program. A program describes its options in a table, one
// row each: the name, a short name if any, whether it takes a value, its help text and how the
// value is checked and kept. The parser reads the arguments from left to right and stops at the
// first problem, in the words of the program's OptionStyle (the programs word their complaints
// differently, and scripts and manual pages rely on those words). The same rows make the option
// lines of the program's --help.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace jvo::cmdline {

enum class Takes {
    NOTHING,         // a flag: "--yes"
    VALUE,           // "--com N" or "--com=N"
    OPTIONAL_VALUE,  // "--proxy", "--proxy=ADDR" or "--proxy ADDR" (when ADDR is no "--option")
};

// Checks a value and keeps it where the program wants it; false with a message in `error`. A flag,
// and an option whose value is optional given without one, get a view whose data() is null.
using TakeValue = std::function<bool(std::string_view value, std::string& error)>;

struct Option {
    // "--com" (empty for an option with only a short name). A name without a leading '-' is a line
    // of the help alone ("UNIT", an argument); an empty name with a help text is a heading.
    std::string name{};
    char shortName = 0;  // 'h' for "-h"
    Takes takes = Takes::NOTHING;
    std::string meta{};  // the value in the help: "N", "[ADDR:]PORT"
    std::string help{};  // its lines, separated by '\n'; empty: not in the help
    TakeValue take{};    // null: accepted, nothing kept
    // The complaint when the value is missing, instead of the style's ("--listen needs
    // [ADDR:]PORT").
    std::string missing{};
    bool ends = false;   // parsing stops here, successfully (--help where nothing after it counts)
    bool again = false;  // may be given again where the style refuses a second time (--help)
    bool exact = false;  // only as written: "--help=1" is an unknown option
};

// What looks like an option (and is unknown when no row has it) rather than an argument.
enum class Looks {
    DOUBLE_DASH,  // "--x": "-x" is an argument
    DASH,         // "-x" or "--x": "-" is an argument
    ANY_DASH,     // anything that starts with '-', also "-"
};

// A program's words and habits; in the complaints "%s" is the option or the argument as written.
struct OptionStyle {
    std::string unknown = "unknown option '%s'";
    std::string unexpected{};  // an argument; empty: arguments are kept (ParseOptions' `arguments`)
    std::string needsValue = "option '%s' needs a value";
    std::string noValue = "option '%s' takes no value";
    std::string twice{};      // empty: every occurrence is taken (the last wins, or a list grows)
    bool twiceFlags = true;   // `twice` also for flags
    bool twiceFirst = false;  // "given twice" before a missing value
    bool emptyIsMissing = false;  // "--com=" and "--com ''" have no value
    bool splitFirst = false;      // every "--name=value" is first taken as "--name" "value"
    bool dashDashEnds = false;    // "--" ends the options; what follows are arguments
    Looks looks = Looks::DASH;
};

// Takes the options of another part at args[i] (the toolkit's, a backend's): how many arguments it
// took (0: none of its options), or -1 with a message in `error`.
using ForeignOptions =
    std::function<int(const std::vector<std::string>& args, size_t i, std::string& error)>;

// argv[1..argc-1] (a null entry as an empty text).
std::vector<std::string> ArgumentsOf(int argc, const char* const* argv);

// Parses `args` (without the program's name). False with a message in `error`; the arguments that
// are no options go to `arguments` where the style keeps them.
bool ParseOptions(const std::vector<Option>& rows, const OptionStyle& style,
                  const std::vector<std::string>& args, std::vector<std::string>& arguments,
                  std::string& error, const ForeignOptions& foreign = nullptr);

// The help lines of the rows that have a help text: "  --name META", padded to `column`, then the
// text, its further lines indented to `column`. A name that does not fit is followed by two
// blanks, or with `ownLine` by the text on the next line.
std::string OptionHelp(const std::vector<Option>& rows, size_t column, bool ownLine = false);

// Row makers for the common cases.
TakeValue SetFlag(bool& flag);
TakeValue KeepText(std::string& text);
// "--help" and "-h"; "--version". `ends`: nothing after it counts.
Option HelpOption(bool& wanted, std::string help = "this text", bool ends = false);
Option VersionOption(bool& wanted, std::string help = "the version of the program",
                     bool ends = false);

}  // namespace jvo::cmdline
