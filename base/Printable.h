#pragma once
// Text that came from a file, a unit or a command line, made safe to show on a terminal or in a
// log: every control character is written as \xNN (ESC as \x1b), so that a unit name cannot
// set the window title, clear the screen, move the cursor or start a line of its own. Other
// characters, UTF-8 and single-byte ones alike, stay as they are.
#include <string>
#include <string_view>

namespace jvo {

// The control characters: bytes below 0x20, DEL (0x7F), and the C1 controls U+0080..U+009F,
// whether as single bytes (0x80..0x9F that do not belong to a UTF-8 character) or encoded in
// UTF-8 (0xC2 0x80..0x9F); each byte of one is written as \xNN with lower-case hex digits.
std::string Printable(std::string_view text);

// The same for a message of several lines: line feeds are kept.
std::string PrintableLines(std::string_view text);

}  // namespace jvo
