#include "base/Printable.h"

#include <cstddef>
#include <cstdint>

namespace jvo {

namespace {

bool Continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 character at the start of `s` (2 to 4), with its code
// point; 0 when there is none (overlong forms and surrogates are not characters).
size_t Utf8Char(std::string_view s, uint32_t& codePoint) {
    const auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    if (length == 0 || s.size() < length || b(1) < low || b(1) > high) return 0;
    codePoint = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (!Continuation(b(i))) return 0;
        codePoint = (codePoint << 6) | (b(i) & 0x3F);
    }
    return length;
}

void Escape(std::string& out, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        out += "\\x";
        out += kHex[u >> 4];
        out += kHex[u & 15];
    }
}

std::string Convert(std::string_view text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto u = static_cast<unsigned char>(text[i]);
        if (u < 0x80) {
            if ((u < 0x20 && !(keepLineFeeds && u == '\n')) || u == 0x7F)
                Escape(out, text.substr(i, 1));
            else
                out += text[i];
            ++i;
            continue;
        }
        uint32_t codePoint = 0;
        const size_t length = Utf8Char(text.substr(i), codePoint);
        if (length == 0) {
            // A byte of some single-byte character set: 0x80..0x9F are its C1 controls.
            if (u <= 0x9F)
                Escape(out, text.substr(i, 1));
            else
                out += text[i];
            ++i;
            continue;
        }
        if (codePoint <= 0x9F)
            Escape(out, text.substr(i, length));
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace

std::string Printable(std::string_view text) {
    return Convert(text, false);
}

std::string PrintableLines(std::string_view text) {
    return Convert(text, true);
}

}  // namespace jvo
