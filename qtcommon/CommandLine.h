#pragma once
// The command-line convention of the JVO programs, for the window programs:
// - exit statuses: 0 done, 1 not completed (the user stopped it, or it failed), 3 a file could not
//   be read or written, 4 the unit does not answer, 64 bad command line, 74 output error;
// - options are "--name value" or "--name=value"; flags take no value; "--help" and "-h" ask for
//   the usage text, "--version" for the version.
// A program describes its options, parses, and prints "<program>: <message>" and its usage on a
// bad command line.
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
    // given to a flag, an option given twice or a positional argument. Options the toolkit reads
    // itself (-platform, -style, ...) are not accepted here: the window programs give the
    // toolkit only argv[0].
    bool Parse(int argc, const char* const* argv);
    bool Parse(const std::vector<std::string>& args);

    bool Has(const std::string& name) const { return m_Values.count(name) != 0; }
    std::string Value(const std::string& name) const;
    // The value as an integer in [lo, hi]; false (with Error() set) when it is not one.
    bool IntValue(const std::string& name, int lo, int hi, int& out);
    bool HelpWanted() const { return m_Help; }
    bool VersionWanted() const { return m_Version; }
    const std::string& Error() const { return m_Error; }

private:
    const OptionDef* Find(const std::string& name) const;

    std::vector<OptionDef> m_Defs;
    std::map<std::string, std::string> m_Values;
    bool m_Help = false;
    bool m_Version = false;
    std::string m_Error;
};

// Prints "<program>: <error>" and the usage text to standard error; returns kExitUsage.
int UsageError(const std::string& program, const std::string& error, const std::string& usage);

}  // namespace jvo::qt
