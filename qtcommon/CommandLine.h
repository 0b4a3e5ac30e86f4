#pragma once
// The command-line convention of the JVO programs, for the window programs:
// - exit statuses: 0 done, 1 not completed (the user stopped it, or it failed), 3 a file could not
//   be read or written, 4 the unit does not answer, 64 bad command line, 74 output error;
// - options are "--name value" or "--name=value"; flags take no value; "--help" and "-h" ask for
//   the usage text;
// - the toolkit's own options (-platform NAME, -style NAME, -reverse, ...; with one dash or two,
//   as the toolkit reads them) are accepted and kept, in their order, for the toolkit.
// A program describes its options, parses, and prints "<program>: <message>" and its usage on a
// bad command line. The toolkit is started only after a good parse, so "--help" and a bad command
// line never need a display.
#include <map>
#include <string>
#include <vector>

namespace jvo::qt {

constexpr int kExitOk = 0;
constexpr int kExitNotCompleted = 1;
constexpr int kExitFile = 3;
constexpr int kExitNoUnit = 4;
constexpr int kExitUsage = 64;
constexpr int kExitOutput = 74;

struct OptionDef {
    std::string name;  // without the leading dashes
    bool takesValue = false;
};

class CommandLine {
public:
    explicit CommandLine(std::vector<OptionDef> defs) : m_Defs(std::move(defs)) {}

    // Parses argv[1..]. False with Error() set on an unknown option, a missing value, a value
    // given to a flag, an option given twice or a positional argument.
    bool Parse(int argc, const char* const* argv);
    bool Parse(const std::vector<std::string>& args);
    // The toolkit's options given, each followed by its value, as they were written.
    const std::vector<std::string>& ToolkitArgs() const { return m_Toolkit; }

    bool Has(const std::string& name) const { return m_Values.count(name) != 0; }
    std::string Value(const std::string& name) const;
    // The value as an integer in [lo, hi]; false (with Error() set) when it is not one.
    bool IntValue(const std::string& name, int lo, int hi, int& out);
    bool HelpWanted() const { return m_Help; }
    const std::string& Error() const { return m_Error; }

private:
    const OptionDef* Find(const std::string& name) const;
    // Takes args[i] (and its value) when it is one of the toolkit's options; false otherwise.
    bool TakeToolkitOption(const std::vector<std::string>& args, size_t& i);

    std::vector<OptionDef> m_Defs;
    std::map<std::string, std::string> m_Values;
    std::vector<std::string> m_Toolkit;
    bool m_Help = false;
    std::string m_Error;
};

// The argument vector for the toolkit's application object: the program's name and the toolkit
// options. It must outlive that object, which keeps references to both counts and strings.
class ToolkitArgv {
public:
    ToolkitArgv(const char* program, const std::vector<std::string>& options);
    ToolkitArgv(const ToolkitArgv&) = delete;
    ToolkitArgv& operator=(const ToolkitArgv&) = delete;

    int& Argc() { return m_Argc; }
    char** Argv() { return m_Argv.data(); }
    // What the toolkit left unread once its application object was made (an option of another
    // platform, such as -display off X11), for a note to the user.
    std::vector<std::string> Unused() const;

private:
    std::vector<std::string> m_Strings;
    std::vector<char*> m_Argv;
    int m_Argc = 0;
};

// Prints "<program>: <error>" and the usage text to standard error; returns kExitUsage.
int UsageError(const std::string& program, const std::string& error, const std::string& usage);

}  // namespace jvo::qt
