#include "exporter/ExporterOptions.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <sstream>

#include "base/CmdLine.h"
#include "base/Files.h"
#include "base/OptionTable.h"
#include "base/Printable.h"
#include "exporter/ServerTls.h"
#include "link/PortDirectory.h"
#include "link/ProxyConnection.h"

namespace jvo::exporter {

namespace {

constexpr long kMaxMinCycleMs = 3600000;

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
            return "proxy:" + std::string(m_ProxyTls ? kTlsScheme : "") + m_ProxyHost + ":" +
                   std::to_string(m_ProxyPort);
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
        std::string address = value;
        entry.m_ProxyTls = StripTlsScheme(address);
        if (!cmdline::ParseConnectAddress(address, cmdline::kProxyPort, entry.m_ProxyHost,
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

namespace {

using cmdline::Takes;

// The raw values of the command line, checked once the configuration file is read.
struct GivenArgs {
    bool haveListen = false, haveConfig = false, haveWeb = false;
    std::string listen, config, web;
    TlsFiles tls;  // for proxy:tls:// units
};

cmdline::TakeValue Given(bool& given, std::string& text) {
    return [&given, &text](std::string_view value, std::string&) {
        given = true;
        text.assign(value);
        return true;
    };
}

// The options, one row each, and the units' line of the help.
std::vector<cmdline::Option> ExporterRows(ExporterOptions& o, GivenArgs& g) {
    return {
        {.name = "UNIT",
         .help = "NAME=com:N, NAME=device:PATH or\n"
                 "NAME=proxy:[tls://]HOST[:PORT]; NAME is letters, digits,\n"
                 "'-' and '_'"},
        {.name = "--listen",
         .takes = Takes::VALUE,
         .meta = "[ADDR:]PORT",
         .help = "where /metrics is served (default 127.0.0.1:9650;\n"
                 "ADDR \".\" is this machine, PORT 0 any free port)",
         .take = Given(g.haveListen, g.listen)},
        {.name = "--config",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "more units, one a line, and optional lines\n"
                 "\"listen [ADDR:]PORT\" and \"web-config FILE\";\n"
                 "'#' starts a comment line",
         .take = Given(g.haveConfig, g.config)},
        {.name = "--web-config",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "TLS and basic authentication, in the YAML of the\n"
                 "Prometheus exporter toolkit: tls_server_config (cert_file,\n"
                 "key_file, client_ca_file, client_auth_type) and\n"
                 "basic_auth_users (user: bcrypt hash); no other key",
         .take = Given(g.haveWeb, g.web)},
        {.name = "--min-cycle",
         .takes = Takes::VALUE,
         .meta = "MS",
         .help = "start a unit's next poll cycle no sooner than MS\n"
                 "milliseconds after the last one began (default 1000;\n"
                 "0 polls without a pause)",
         .take =
             [&o](std::string_view v, std::string& error) {
                 long ms = 0;
                 if (!cmdline::ParseNumber(v, 0, kMaxMinCycleMs, ms)) {
                     error = "--min-cycle needs milliseconds from 0 to " +
                             std::to_string(kMaxMinCycleMs);
                     return false;
                 }
                 o.m_MinCycleMs = static_cast<int32_t>(ms);
                 return true;
             }},
        {.name = "--tls-ca",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "for proxy:tls:// units: the CA of the proxy servers'\n"
                 "certificates (their names or addresses are checked)",
         .take = cmdline::KeepText(g.tls.ca)},
        {.name = "--tls-cert",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "... the exporter's client certificate",
         .take = cmdline::KeepText(g.tls.cert)},
        {.name = "--tls-key",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "... and its key",
         .take = cmdline::KeepText(g.tls.key)},
        cmdline::HelpOption(o.m_Help, "this text", true),
        cmdline::VersionOption(o.m_Version, "the version of the program", true),
    };
}

}  // namespace

ParseStatus ParseExporterArgs(int argc, const char* const* argv, ExporterOptions& options,
                              std::string& error) {
    options = ExporterOptions{};
    GivenArgs g;
    std::vector<std::string> units;
    static const cmdline::OptionStyle style{
        .needsValue = "%s needs a value", .dashDashEnds = true, .looks = cmdline::Looks::ANY_DASH};
    if (!cmdline::ParseOptions(ExporterRows(options, g), style, cmdline::ArgumentsOf(argc, argv),
                               units, error))
        return ParseStatus::USAGE;
    if (options.m_Help || options.m_Version) return ParseStatus::OK;
    const bool haveListen = g.haveListen, haveConfig = g.haveConfig, haveWeb = g.haveWeb;
    const std::string &listen = g.listen, &config = g.config, &web = g.web;
    const TlsFiles& tls = g.tls;
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
    for (UnitEntry& u : options.m_Units) {
        if (!u.m_ProxyTls) continue;
        if (tls.ca.empty()) {
            error = "unit " + u.m_Name + ": proxy:tls://... needs --tls-ca FILE";
            return ParseStatus::USAGE;
        }
        u.m_Tls = tls;
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
    ExporterOptions unusedOptions;
    GivenArgs unused;
    return "Usage: jvo-exporter [--listen [ADDR:]PORT] [--config FILE] [--web-config FILE]\n"
           "                    [--min-cycle MS] [--tls-ca FILE [--tls-cert FILE --tls-key FILE]]\n"
           "                    UNIT...\n" +
           cmdline::OptionHelp(ExporterRows(unusedOptions, unused), 24) +
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
