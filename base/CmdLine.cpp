#include "base/CmdLine.h"

#include <cstring>
#include <system_error>

#include "base/Ipv4.h"

namespace jvo::cmdline {

namespace {

bool ParsePort(std::string_view text, long lo, uint16_t& port) {
    long value = 0;
    if (!ParseNumber(text, lo, 65535, value)) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The answer without its line end and surrounding blanks, in lower case.
std::string Normalised(const char* line) {
    std::string s;
    for (const char* p = line; *p; ++p)
        if (*p != '\n' && *p != '\r') s += Lower(*p);
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool Matches(const std::string& answer, std::string_view word) {
    return !answer.empty() && (answer == word || (answer.size() == 1 && answer[0] == word[0]));
}

}  // namespace

bool SplitInlineValue(std::string_view arg, std::string_view& name, std::string_view& value) {
    if (arg.size() < 4 || arg.substr(0, 2) != "--") return false;
    const size_t eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 2) return false;
    name = arg.substr(0, eq);
    value = arg.substr(eq + 1);
    return true;
}

bool ParseNumber(std::string_view text, long lo, long hi, long& value) {
    if (text.empty() || text.size() > 18) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

bool ParseConnectPort(std::string_view text, uint16_t& port) {
    return ParsePort(text, 1, port);
}

bool ParseListenPort(std::string_view text, uint16_t& port) {
    return ParsePort(text, 0, port);
}

bool ParseConnectAddress(std::string_view text, uint16_t defaultPort, std::string& host,
                         uint16_t& port, std::string& error) {
    const size_t colon = text.rfind(':');
    const std::string_view name = colon == std::string_view::npos ? text : text.substr(0, colon);
    if (name.empty()) {
        error = "a host name or address is needed (\".\" is this machine)";
        return false;
    }
    uint16_t p = defaultPort;
    if (colon != std::string_view::npos && !ParseConnectPort(text.substr(colon + 1), p)) {
        error = "the port to connect to must be a number from 1 to 65535";
        return false;
    }
    host.assign(name);
    port = p;
    return true;
}

bool ParseListenAddress(std::string_view text, std::string& address, uint16_t& port,
                        std::string& error) {
    const size_t colon = text.rfind(':');
    const std::string_view digits = colon == std::string_view::npos ? text : text.substr(colon + 1);
    uint16_t p = 0;
    if (!ParseListenPort(digits, p)) {
        error = "the port to listen on must be a number from 0 to 65535 (0: any free port)";
        return false;
    }
    if (colon != std::string_view::npos) {
        std::string host(text.substr(0, colon));
        if (host == ".") host = "127.0.0.1";
        uint32_t a = 0;
        if (!ParseIpv4(host, a)) {
            error = "the address to listen on must be a dotted-quad address such as 127.0.0.1";
            return false;
        }
        address = host;
    }
    port = p;
    return true;
}

std::string ErrorText(int err) {
    std::string text = std::generic_category().message(err);
    if (text.empty()) text = "unknown error";
    return text + " (error " + std::to_string(err) + ")";
}

bool WriteAll(FILE* stream, std::string_view text) {
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stream) != text.size())
        return false;
    return std::fflush(stream) == 0 && !std::ferror(stream);
}

Reply AskYesNo(FILE* in, FILE* out, const std::string& prompt, std::string_view yes,
               std::string_view no) {
    for (;;) {
        WriteAll(out, prompt);
        char line[256];
        if (!std::fgets(line, sizeof line, in)) return Reply::END;
        if (!std::strchr(line, '\n')) {  // the rest of an overlong line is part of this answer
            int c;
            while ((c = std::fgetc(in)) != EOF && c != '\n') {
            }
        }
        const std::string answer = Normalised(line);
        if (Matches(answer, yes)) return Reply::YES;
        if (Matches(answer, no)) return Reply::NO;
        WriteAll(out, "Please answer " + std::string(yes) + " or " + std::string(no) + ".\n");
    }
}

}  // namespace jvo::cmdline
