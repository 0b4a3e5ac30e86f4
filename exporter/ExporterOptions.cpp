#include "exporter/ExporterOptions.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>

#include "base/CmdLine.h"
#include "base/Printable.h"
#include "exporter/ServerTls.h"
#include "link/PortDirectory.h"

namespace jvo::exporter {

namespace {

bool ValidName(const std::string& name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

std::string Trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The whole file; false with `error` saying why it cannot be read (a folder opens, but reads
// fail).
bool ReadConfigFile(const std::string& path, const char* what, std::string& text,
                    std::string& error) {
    errno = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (file) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0)
            text.append(chunk, n);
        if (!std::ferror(file.get())) return true;
    }
    error = std::string("cannot read the ") + what + " " + path + ": " + cmdline::ErrorText(errno);
    return false;
}

bool ParseListen(const std::string& text, ExporterOptions& options, std::string& error) {
    std::string address = "127.0.0.1";
    uint16_t port = 0;
    if (!cmdline::ParseListenAddress(text, address, port, error)) return false;
    options.m_ListenAddress = address;
    options.m_ListenPort = port;
    return true;
}

// A keyword line of the configuration file ("listen ...", "web-config ..."): the rest of the line,
// or false when `s` is no such line.
bool Keyword(const std::string& s, const char* keyword, std::string& rest) {
    const size_t n = std::char_traits<char>::length(keyword);
    if (s.compare(0, n, keyword) != 0 || (s.size() > n && s[n] != ' ' && s[n] != '\t'))
        return false;
    rest = Trimmed(s.substr(n));
    return true;
}

// The folder of a file's path, for the names given relative to it.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Reads the web configuration and loads its TLS files.
bool LoadWeb(ExporterOptions& options, std::string& error) {
    if (options.m_WebConfigPath.empty()) return true;
    std::string text;
    if (!ReadConfigFile(options.m_WebConfigPath, "web configuration", text, error)) return false;
    if (!ParseWebConfig(text, options.m_WebConfigPath, FolderOf(options.m_WebConfigPath),
                        options.m_Web, error))
        return false;
    if (options.m_Web.m_Tls) {
        options.m_ServerTls = MakeServerTls(*options.m_Web.m_Tls, error);
        if (!options.m_ServerTls) {
            error = options.m_WebConfigPath + ": " + error;
            return false;
        }
    }
    return true;
}

bool AddUnit(const std::string& text, ExporterOptions& options, std::string& error) {
    UnitEntry entry;
    if (!ParseUnitEntry(text, entry, error)) return false;
    for (const UnitEntry& u : options.m_Units)
        if (u.m_Name == entry.m_Name) {
            error = "the unit name '" + entry.m_Name + "' is given twice";
            return false;
        }
    options.m_Units.push_back(std::move(entry));
    return true;
}

}  // namespace

std::string UnitEntry::Describe() const {
    switch (m_Kind) {
        case Kind::Com:
            return "com:" + std::to_string(m_Com);
        case Kind::Device:
            return "device:" + m_Device;
        case Kind::Proxy:
            return "proxy:" + m_ProxyHost + ":" + std::to_string(m_ProxyPort);
    }
    return {};
}

bool ParseUnitEntry(const std::string& text, UnitEntry& entry, std::string& error) {
    const size_t eq = text.find('=');
    const std::string name = eq == std::string::npos ? std::string() : text.substr(0, eq);
    if (eq == std::string::npos || !ValidName(name)) {
        error = "'" + Printable(text) +
                "' is not a unit: NAME=com:N, NAME=device:PATH or NAME=proxy:HOST[:PORT], where "
                "NAME is letters, digits, '-' and '_'";
        return false;
    }
    const std::string route = text.substr(eq + 1);
    const size_t colon = route.find(':');
    const std::string kind = route.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : route.substr(colon + 1);
    entry = UnitEntry{};
    entry.m_Name = name;
    if (kind == "com") {
        long n = 0;
        if (!cmdline::ParseNumber(value, kMinComPort, kMaxComPort, n)) {
            error = "unit " + name + ": com needs a port number from 1 to 32";
            return false;
        }
        entry.m_Kind = UnitEntry::Kind::Com;
        entry.m_Com = static_cast<int>(n);
        return true;
    }
    if (kind == "device") {
        if (value.empty()) {
            error = "unit " + name + ": device needs a path";
            return false;
        }
        entry.m_Kind = UnitEntry::Kind::Device;
        entry.m_Device = value;
        return true;
    }
    if (kind == "proxy") {
        std::string why;
        if (!cmdline::ParseConnectAddress(value, cmdline::kProxyPort, entry.m_ProxyHost,
                                          entry.m_ProxyPort, why)) {
            error = "unit " + name + ": " + why;
            return false;
        }
        if (entry.m_ProxyHost == ".") entry.m_ProxyHost = "127.0.0.1";
        entry.m_Kind = UnitEntry::Kind::Proxy;
        return true;
    }
    error = "unit " + name + ": the route must be com:N, device:PATH or proxy:HOST[:PORT]";
    return false;
}

bool ParseConfigText(const std::string& text, const std::string& source, ExporterOptions& options,
                     bool& listenGiven, std::string& error) {
    std::istringstream in(text);
    std::string raw;
    for (int line = 1; std::getline(in, raw); ++line) {
        const std::string s = Trimmed(raw);
        if (s.empty() || s[0] == '#') continue;
        std::string why, rest;
        bool ok;
        if (Keyword(s, "listen", rest)) {
            ok = ParseListen(rest, options, why);
            listenGiven = listenGiven || ok;
        } else if (Keyword(s, "web-config", rest)) {
            ok = !rest.empty();
            if (ok)
                options.m_WebConfigPath = rest[0] == '/' || source.find('/') == std::string::npos
                                              ? rest
                                              : FolderOf(source) + "/" + rest;
            else
                why = "web-config needs a file";
        } else {
            ok = AddUnit(s, options, why);
        }
        if (!ok) {
            error = source + ":" + std::to_string(line) + ": " + why;
            return false;
        }
    }
    return true;
}

ParseStatus ParseExporterArgs(int argc, const char* const* argv, ExporterOptions& options,
                              std::string& error) {
    options = ExporterOptions{};
    std::string listen, config, web;
    bool haveListen = false, haveConfig = false, haveWeb = false, optionsEnd = false;
    std::vector<std::string> units;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.empty() || arg[0] != '-') {
            units.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.m_Help = true;
            return ParseStatus::OK;
        }
        std::string_view name = arg, value;
        const bool inlineValue = cmdline::SplitInlineValue(arg, name, value);
        if (name != "--listen" && name != "--config" && name != "--web-config") {
            error = "unknown option '" + std::string(name) + "'";
            return ParseStatus::USAGE;
        }
        std::string v;
        if (inlineValue) {
            v.assign(value);
        } else if (i + 1 < argc) {
            v = argv[++i];
        } else {
            error = std::string(name) + " needs a value";
            return ParseStatus::USAGE;
        }
        if (name == "--listen") {
            haveListen = true;
            listen = v;
        } else if (name == "--web-config") {
            haveWeb = true;
            web = v;
        } else {
            haveConfig = true;
            config = v;
        }
    }
    bool listenInFile = false;
    if (haveConfig) {
        std::string text;
        if (!ReadConfigFile(config, "configuration file", text, error)) return ParseStatus::FILE;
        if (!ParseConfigText(text, config, options, listenInFile, error)) return ParseStatus::FILE;
    }
    if (haveListen && !ParseListen(listen, options, error)) {
        error = "--listen: " + error;
        return ParseStatus::USAGE;
    }
    for (const std::string& u : units)
        if (!AddUnit(u, options, error)) return ParseStatus::USAGE;
    if (options.m_Units.empty()) {
        error = "no unit given";
        return ParseStatus::USAGE;
    }
    if (haveWeb) {
        if (web.empty()) {
            error = "--web-config needs a file";
            return ParseStatus::USAGE;
        }
        options.m_WebConfigPath = web;
    }
    if (!LoadWeb(options, error)) return ParseStatus::FILE;
    return ParseStatus::OK;
}

std::string ExporterUsage() {
    return "Usage: jvo-exporter [--listen [ADDR:]PORT] [--config FILE] [--web-config FILE] "
           "UNIT...\n"
           "  UNIT                  NAME=com:N, NAME=device:PATH or NAME=proxy:HOST[:PORT];\n"
           "                        NAME is letters, digits, '-' and '_'\n"
           "  --listen [ADDR:]PORT  where /metrics is served (default 127.0.0.1:9650;\n"
           "                        ADDR \".\" is this machine, PORT 0 any free port)\n"
           "  --config FILE         more units, one a line, and optional lines\n"
           "                        \"listen [ADDR:]PORT\" and \"web-config FILE\";\n"
           "                        '#' starts a comment line\n"
           "  --web-config FILE     TLS and basic authentication, in the YAML of the\n"
           "                        Prometheus exporter toolkit: tls_server_config (cert_file,\n"
           "                        key_file, client_ca_file, client_auth_type) and\n"
           "                        basic_auth_users (user: bcrypt hash); no other key\n"
           "  --help                this text\n"
           "Options take their value as the next argument or after '=' (--listen=9650).\n"
           "The command line's --listen and --web-config win over the file's lines.\n"
           "\n"
           "Served: /metrics (GET and HEAD), a page naming the program at /, 404 elsewhere.\n"
           "Signals: SIGHUP reads the files again (units, web configuration and certificates;\n"
           "a new listen address needs a restart); SIGINT and SIGTERM stop it.\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen, 3 a configuration\n"
           "file or a file it names cannot be read or is bad, 64 bad command line.\n";
}

}  // namespace jvo::exporter
