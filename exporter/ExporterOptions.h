#pragma once
// The exporter's command line and configuration file:
//   jvo-exporter [--listen [ADDR:]PORT] [--config FILE] [--web-config FILE] UNIT...
// where each UNIT is NAME=com:N, NAME=device:PATH or NAME=proxy:HOST[:PORT]. The file holds the
// same words for a service: one UNIT per line, optional lines "listen [ADDR:]PORT" and
// "web-config FILE" (relative to the file's folder), blank lines and lines starting with '#'
// ignored. A --listen or --web-config on the command line wins over the file's.
#include <cstdint>
#include <string>
#include <vector>

#include "exporter/ServerTls.h"
#include "exporter/WebConfig.h"

namespace jvo::exporter {

constexpr uint16_t kDefaultListenPort = 9650;

struct UnitEntry {
    enum class Kind { Com, Device, Proxy };
    std::string m_Name;  // letters, digits, '-' and '_'
    Kind m_Kind = Kind::Com;
    int m_Com = 0;             // Com: 1..32
    std::string m_Device;      // Device: the path
    std::string m_ProxyHost;   // Proxy: the host ("." is this machine)
    uint16_t m_ProxyPort = 0;  // Proxy: the port (43015 unless given)
    // "com:N", "device:PATH" or "proxy:HOST:PORT", for log lines.
    std::string Describe() const;
    bool operator==(const UnitEntry&) const = default;
};

struct ExporterOptions {
    std::string m_ListenAddress = "127.0.0.1";
    uint16_t m_ListenPort = kDefaultListenPort;
    std::vector<UnitEntry> m_Units;
    std::string m_WebConfigPath;  // empty: plain HTTP, no authentication
    WebConfig m_Web;
    ServerTls m_ServerTls;  // made from m_Web's TLS part when there is one; null: plain HTTP
    bool m_Help = false;
};

enum class ParseStatus { OK, USAGE, FILE };

// "NAME=com:N" and the others; false with a message in `error`.
bool ParseUnitEntry(const std::string& text, UnitEntry& entry, std::string& error);

// The text of a configuration file; `source` names it in messages ("FILE:LINE: ...").
bool ParseConfigText(const std::string& text, const std::string& source, ExporterOptions& options,
                     bool& listenGiven, std::string& error);

// The whole command line (argv[0] is the program), with the configuration file, the web
// configuration and the TLS files it names. USAGE for a bad command line, FILE when a file cannot
// be read or is bad; `error` says why.
ParseStatus ParseExporterArgs(int argc, const char* const* argv, ExporterOptions& options,
                              std::string& error);

std::string ExporterUsage();

}  // namespace jvo::exporter
