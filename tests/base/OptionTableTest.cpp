// The option-table parser: one table read in the habits of different programs (a value after '='
// or as the next argument, "--" ending the options, a second time refused or taken, an optional
// value, another part's options), the first problem in the program's words, and the help lines the
// rows make.
#include "base/OptionTable.h"

#include <gtest/gtest.h>

#include "base/CmdLine.h"

namespace jvo::cmdline {
namespace {

struct Parsed {
    std::string com, proxy = "none";
    bool yes = false, help = false;
    int proxyGiven = 0;
    std::vector<std::string> arguments;
    std::string error;
};

std::vector<Option> Rows(Parsed& p) {
    return {{.name = "--com",
             .takes = Takes::VALUE,
             .meta = "N",
             .help = "the COM port",
             .take =
                 [&p](std::string_view v, std::string& error) {
                     long n = 0;
                     if (!ParseNumber(v, 1, 32, n)) error = "--com needs 1..32";
                     p.com = v;
                     return error.empty();
                 }},
            {.name = "--proxy",
             .takes = Takes::OPTIONAL_VALUE,
             .meta = "[ADDR]",
             .help = "a long name\nover two lines",
             .take =
                 [&p](std::string_view v, std::string&) {
                     ++p.proxyGiven;
                     p.proxy = v.data() ? std::string(v) : "default";
                     return true;
                 }},
            {.help = "Heading:"},
            {.name = "--yes", .shortName = 'y', .take = SetFlag(p.yes)},
            HelpOption(p.help, "this text", true)};
}

Parsed Parse(const OptionStyle& style, std::vector<std::string> args,
             const ForeignOptions& foreign = nullptr) {
    Parsed p;
    ParseOptions(Rows(p), style, args, p.arguments, p.error, foreign);
    return p;
}

TEST(OptionTableTest, OneTableInEachProgramsHabits) {
    const OptionStyle kept{
        .twice = "option %s given twice", .twiceFlags = false, .dashDashEnds = true};
    Parsed p = Parse(kept, {"a", "--com=5", "-y", "--proxy", "--yes", "--", "--com", "-"});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.com, "5");
    EXPECT_TRUE(p.yes);
    EXPECT_EQ(p.proxy, "default");  // the next argument is an option, not its value
    EXPECT_EQ(p.arguments, (std::vector<std::string>{"a", "--com", "-"}));
    EXPECT_EQ(Parse(kept, {"--com", "1", "--com=2"}).error, "option --com given twice");
    EXPECT_EQ(Parse(kept, {"--com", "40"}).error, "--com needs 1..32");
    EXPECT_EQ(Parse(kept, {"--com"}).error, "option '--com' needs a value");
    EXPECT_EQ(Parse(kept, {"--yes=1"}).error, "option '--yes' takes no value");
    EXPECT_EQ(Parse(kept, {"--bogus=1", "--com", "x"}).error, "unknown option '--bogus'");
    // --help ends the parse: nothing after it counts; "--help=1" is no help.
    EXPECT_TRUE(Parse(kept, {"--help", "--bogus"}).help);
    EXPECT_EQ(Parse(kept, {"--help=1"}).error, "unknown option '--help'");

    const OptionStyle split{.unexpected = "unexpected argument %s", .splitFirst = true};
    p = Parse(split, {"--proxy=h", "--proxy", "--com=7"});
    EXPECT_EQ(p.proxy, "default");
    EXPECT_EQ(p.proxyGiven, 2);  // taken each time
    EXPECT_EQ(p.com, "7");
    EXPECT_EQ(Parse(split, {"--yes=1"}).error, "unexpected argument 1");

    const OptionStyle strict{.unexpected = "unexpected argument '%s'",
                             .twice = "option '%s' given twice",
                             .twiceFirst = true,
                             .emptyIsMissing = true,
                             .looks = Looks::DOUBLE_DASH};
    EXPECT_EQ(Parse(strict, {"--com="}).error, "option '--com' needs a value");
    EXPECT_EQ(Parse(strict, {"--yes", "-y"}).error, "option '-y' given twice");
    EXPECT_EQ(Parse(strict, {"--com", "1", "--com"}).error, "option '--com' given twice");
    EXPECT_EQ(Parse(strict, {"-x"}).error, "unexpected argument '-x'");
    // Another part's options are offered what the table does not know.
    const auto toolkit = [](const std::vector<std::string>& args, size_t i, std::string& error) {
        if (args[i] != "-style") return 0;
        if (i + 1 < args.size()) return 2;
        error = "option '-style' needs a value";
        return -1;
    };
    EXPECT_EQ(Parse(strict, {"-style", "x", "--com", "3"}, toolkit).com, "3");
    EXPECT_EQ(Parse(strict, {"-style"}, toolkit).error, "option '-style' needs a value");
}

TEST(OptionTableTest, HelpLinesComeFromTheRows) {
    Parsed p;
    EXPECT_EQ(OptionHelp(Rows(p), 14),
              "  --com N     the COM port\n"
              "  --proxy [ADDR]  a long name\n"
              "              over two lines\n"
              "Heading:\n"
              "  --help      this text\n");
    EXPECT_NE(OptionHelp(Rows(p), 14, true).find("\n  --proxy [ADDR]\n              a long name\n"),
              std::string::npos);
}

}  // namespace
}  // namespace jvo::cmdline
