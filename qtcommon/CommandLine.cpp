// Parsing of "--name value" and "--name=value" options.
#include "qtcommon/CommandLine.h"

#include <cstdio>
#include <cstdlib>

namespace jvo::qt {

const OptionDef* CommandLine::Find(const std::string& name) const {
    for (const OptionDef& s : m_Defs)
        if (s.name == name) return &s;
    return nullptr;
}

bool CommandLine::Parse(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return Parse(args);
}

bool CommandLine::Parse(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            m_Help = true;
            continue;
        }
        if (a == "--version") {
            m_Version = true;
            continue;
        }
        if (a.size() < 3 || a.compare(0, 2, "--") != 0) {
            m_Error = "unexpected argument '" + a + "'";
            return false;
        }
        const size_t eq = a.find('=');
        const std::string name = a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        const OptionDef* def = Find(name);
        if (!def) {
            m_Error = "unknown option '--" + name + "'";
            return false;
        }
        if (m_Values.count(name)) {
            m_Error = "option '--" + name + "' given twice";
            return false;
        }
        std::string value;
        if (eq != std::string::npos) {
            if (!def->takesValue) {
                m_Error = "option '--" + name + "' takes no value";
                return false;
            }
            value = a.substr(eq + 1);
        } else if (def->takesValue) {
            if (i + 1 >= args.size()) {
                m_Error = "option '--" + name + "' needs a value";
                return false;
            }
            value = args[++i];
        }
        if (def->takesValue && value.empty()) {
            m_Error = "option '--" + name + "' needs a value";
            return false;
        }
        m_Values[name] = value;
    }
    return true;
}

std::string CommandLine::Value(const std::string& name) const {
    const auto it = m_Values.find(name);
    return it == m_Values.end() ? std::string() : it->second;
}

bool CommandLine::IntValue(const std::string& name, int lo, int hi, int& out) {
    const std::string v = Value(name);
    char* end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < lo || n > hi) {
        m_Error = "option '--" + name + "' needs a number " + std::to_string(lo) + ".." +
                  std::to_string(hi) + ", not '" + v + "'";
        return false;
    }
    out = static_cast<int>(n);
    return true;
}

int UsageError(const std::string& program, const std::string& error, const std::string& usage) {
    std::fprintf(stderr, "%s: %s\n%s", program.c_str(), error.c_str(), usage.c_str());
    return kExitUsage;
}

}  // namespace jvo::qt
