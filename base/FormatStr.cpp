#include "base/FormatStr.h"

#include <cstdio>
#include <string>

namespace jvo {
namespace fmt {

namespace {

// A printf pattern for one conversion, built in place: "%", at most 5 flags, width and precision
// of at most 6 digits each, a length of at most 2 characters and the conversion character.
struct Pattern {
    char text[32] = {};
};

// printf of one already-validated numeric conversion with a value of the matching C type.
template <class T>
bool Emit(std::string& out, const Pattern& pattern, T value) {
    int n = std::snprintf(nullptr, 0, pattern.text, value);
    if (n < 0) return false;
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    std::snprintf(out.data() + at, static_cast<size_t>(n) + 1, pattern.text, value);
    out.resize(at + static_cast<size_t>(n));
    return true;
}

bool HasFlag(const Conversion& s, char f) {
    for (int i = 0; i < s.flagCount; ++i)
        if (s.flags[i] == f) return true;
    return false;
}

void EmitString(std::string& out, const Conversion& s, int width, int prec, std::string_view text) {
    if (prec >= 0 && static_cast<size_t>(prec) < text.size()) text = text.substr(0, prec);
    size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
    if (!HasFlag(s, '-')) out.append(pad, ' ');
    out.append(text);
    if (HasFlag(s, '-')) out.append(pad, ' ');
}

// Fills the pattern with plain character stores: composing it from std::string pieces made GCC 12
// at -O3 warn (falsely) about overlapping copies inside std::string.
Pattern BuildPattern(const Conversion& s, int width, int prec, const char* length, char conv) {
    Pattern p;
    char* at = p.text;
    char* const end = p.text + sizeof p.text - 1;  // room for the terminating zero
    auto put = [&](char c) {
        if (at < end) *at++ = c;
    };
    auto number = [&](int value) {
        char digits[12];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value > 0 && n < 12);
        while (n > 0)
            put(digits[--n]);
    };
    put('%');
    for (int i = 0; i < s.flagCount; ++i)
        put(s.flags[i]);
    if (width >= 0) number(width);
    if (prec >= 0) {
        put('.');
        number(prec);
    }
    for (const char* l = length; *l; ++l)
        put(*l);
    put(conv);
    *at = '\0';
    return p;
}

}  // namespace

bool FormatArgs(std::string& out, std::string_view fmt, std::span<const Arg> args) {
    out.clear();
    size_t next = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Conversion s{};
        if (!ParseConversion(fmt, i + 1, s)) return false;
        i = s.end - 1;
        int width = s.width;
        int prec = s.prec;
        Conversion eff = s;
        if (s.widthStar) {
            if (next >= args.size()) return false;
            const Arg& a = args[next++];
            if (a.kind != Kind::Int && a.kind != Kind::UInt) return false;
            long long w = static_cast<int>(a.i);  // an int argument, as printf reads it
            if (w < 0) {
                if (eff.flagCount >= 5) return false;
                eff.flags[eff.flagCount++] = '-';
                w = -w;
            }
            if (w > kMaxFieldWidth) return false;
            width = static_cast<int>(w);
        }
        if (s.precStar) {
            if (next >= args.size()) return false;
            const Arg& a = args[next++];
            if (a.kind != Kind::Int && a.kind != Kind::UInt) return false;
            long long p = static_cast<int>(a.i);
            if (p > kMaxFieldWidth) return false;
            prec = p < 0 ? -1 : static_cast<int>(p);
        }
        if (next >= args.size()) return false;
        const Arg& a = args[next++];
        if (!Accepts(s, a.kind)) return false;
        const std::string_view len(s.length);
        const unsigned long long bits =
            a.kind == Kind::Int ? static_cast<unsigned long long>(a.i) : a.u;
        switch (s.conv) {
            case 'd':
            case 'i': {
                long long v;
                if (len == "hh")
                    v = static_cast<signed char>(bits);
                else if (len == "h")
                    v = static_cast<short>(bits);
                else if (len.empty())
                    v = static_cast<int>(bits);
                else
                    v = static_cast<long long>(bits);
                if (!Emit(out, BuildPattern(eff, width, prec, "ll", s.conv), v)) return false;
                break;
            }
            case 'u':
            case 'o':
            case 'x':
            case 'X': {
                unsigned long long v;
                if (len == "hh")
                    v = static_cast<unsigned char>(bits);
                else if (len == "h")
                    v = static_cast<unsigned short>(bits);
                else if (len.empty())
                    v = static_cast<unsigned int>(bits);
                else
                    v = bits;
                if (!Emit(out, BuildPattern(eff, width, prec, "ll", s.conv), v)) return false;
                break;
            }
            case 'c': {
                char ch = static_cast<char>(static_cast<unsigned char>(bits));
                EmitString(out, eff, width, -1, std::string_view(&ch, 1));
                break;
            }
            case 's':
                if (a.nullString) return false;  // printf of a null text is undefined
                EmitString(out, eff, width, prec, a.s);
                break;
            case 'p':
                if (!Emit(out, BuildPattern(eff, width, prec, "", 'p'), a.p)) return false;
                break;
            default:  // floating conversions (validated by Accepts)
                if (!Emit(out, BuildPattern(eff, width, prec, "", s.conv), a.d)) return false;
                break;
        }
    }
    return true;
}

}  // namespace fmt

std::string FormatStrError(const char* format) {
    if (!format) return "FormatStr() Error: Invalid arguments: 'format' is invalid";
    return std::string("FormatStr() Error: Invalid arguments: 'format'=\"") + format + "\"";
}

}  // namespace jvo
