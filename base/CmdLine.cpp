#include "base/CmdLine.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Version.h"

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
        in_addr a{};
        if (::inet_pton(AF_INET, host.c_str(), &a) != 1) {
            error = "the address to listen on must be a dotted-quad address such as 127.0.0.1";
            return false;
        }
        address = host;
    }
    port = p;
    return true;
}

std::string VersionText(std::string_view program, std::string_view more) {
    std::string text(program);
    text += " (JVO service software) ";
    text += kVersion;
    text += '\n';
    text += more;
    if (!more.empty() && more.back() != '\n') text += '\n';
    return text;
}

std::string ErrorText(int err) {
    char buffer[128];
    const char* text = ::strerror_r(err, buffer, sizeof buffer);  // the GNU form returns the text
    return std::string(text ? text : "unknown error") + " (error " + std::to_string(err) + ")";
}

std::string ListenFailure(const std::string& address, uint16_t port) {
    const std::string where = address + ":" + std::to_string(port);
    in_addr a{};
    if (::inet_pton(AF_INET, address.c_str(), &a) != 1)
        return "cannot listen on " + where + ": not an IPv4 address";
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return "cannot listen on " + where + ": " + ErrorText(errno);
    int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = a;
    sa.sin_port = htons(port);
    int err = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 || ::listen(s, 1) != 0)
        err = errno;
    ::close(s);
    switch (err) {
        case EADDRINUSE:
            return "port " + std::to_string(port) + " is in use by another program";
        case EACCES:
            return "port " + std::to_string(port) + " needs privileges; choose a port from 1024 up";
        case EADDRNOTAVAIL:
            return address + " is not an address of this machine";
        case 0:
            return "cannot listen on " + where + " (it is free now; try again)";
        default:
            return "cannot listen on " + where + ": " + ErrorText(err);
    }
}

std::string SerialDeviceProblem(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT) return "the device does not exist";
        if (err == EACCES) return "permission denied: add yourself to the dialout group";
        if (err == EBUSY) return "it is in use by another program";
        return ErrorText(err);
    }
    std::string why;
    termios tio{};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        why = "it is in use by another program";
    else if (::tcgetattr(fd, &tio) != 0)
        why = "it is not a serial device";
    else
        why = "its line settings were refused (see the messages above)";
    ::close(fd);
    return why;
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
