#pragma once
// The command-line convention shared by every program of the service software: exit statuses,
// "--option=value", port numbers to connect to and to listen on, checked writes to standard output
// and yes/no prompts that insist on an answer.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace jvo::cmdline {

// Exit statuses; they mean the same in every program.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;   // the work did not complete
constexpr int kExitDiffer = 1;   // a comparison found differences (as diff(1) says)
constexpr int kExitFile = 3;     // a file problem
constexpr int kExitNoUnit = 4;   // the unit does not answer (or cannot be reached)
constexpr int kExitUsage = 64;   // a usage error
constexpr int kExitOutput = 74;  // an output error (standard output could not be written)

// The TCP port of the proxy server.
constexpr uint16_t kProxyPort = 43015;

// "--name=value": true with the two parts; false for anything else (also "-x=1" and "--=1").
bool SplitInlineValue(std::string_view arg, std::string_view& name, std::string_view& value);

// A port to connect to: 1..65535. A port to listen on: 0..65535, where 0 means any free port.
bool ParseConnectPort(std::string_view text, uint16_t& port);
bool ParseListenPort(std::string_view text, uint16_t& port);

// "HOST[:PORT]" to connect to ("." is this machine); the port defaults to `defaultPort`. False
// with a message in `error` for an empty host or a port outside 1..65535.
bool ParseConnectAddress(std::string_view text, uint16_t defaultPort, std::string& host,
                         uint16_t& port, std::string& error);
// "[ADDR:]PORT" to listen on: a dotted-quad address (or "." for 127.0.0.1) and a port 0..65535.
// `address` is left as it is when the text has none. False with a message in `error`.
bool ParseListenAddress(std::string_view text, std::string& address, uint16_t& port,
                        std::string& error);

// A whole non-negative decimal number from `lo` to `hi`.
bool ParseNumber(std::string_view text, long lo, long hi, long& value);

// The text of an error number (errno) with the number, as in "Permission denied (error 13)".
// Why a socket cannot listen is told by the link (link/OpenProblems.h); why a serial device or
// a proxy server could not be opened, by the open's own status (link/LinkStatus.h).
std::string ErrorText(int err);

// The answer to --version: "<program> (JVO service software) <version>", then the lines in
// `more` (a window program's build number). The first line has the form help2man reads.
std::string VersionText(std::string_view program, std::string_view more = {});

// Writes all of `text` to `stream` and flushes it; false when that fails (a full disk, a closed
// pipe). Standard output written this way makes a program exit with kExitOutput on failure.
bool WriteAll(FILE* stream, std::string_view text);

// A yes/no prompt: writes `prompt` to `out` and reads lines from `in` until one is `yes` or `no`
// (or their first letter, any case); any other answer asks again. YES or NO, or END when the
// input ends first.
enum class Reply { YES, NO, END };
Reply AskYesNo(FILE* in, FILE* out, const std::string& prompt, std::string_view yes = "yes",
               std::string_view no = "no");

}  // namespace jvo::cmdline
