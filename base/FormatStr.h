#pragma once
// FormatStr: printf-compatible formatting into a new string that checks every conversion against
// the argument actually passed. A format whose arguments do not fit yields an error text instead
// of undefined behaviour. Formats given as literals are also checked at compile time.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace jvo {
namespace fmt {

enum class Kind : uint8_t { Int, UInt, Double, String, Pointer };

struct Arg {
    Kind kind = Kind::Int;
    long long i = 0;
    unsigned long long u = 0;
    double d = 0;
    const void* p = nullptr;
    std::string_view s;
    bool nullString = false;
};

template <class T>
constexpr Kind KindOf() {
    using U = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<U, bool>) {
        return Kind::Int;
    } else if constexpr (std::is_enum_v<U>) {
        return std::is_signed_v<std::underlying_type_t<U>> ? Kind::Int : Kind::UInt;
    } else if constexpr (std::is_integral_v<U>) {
        return std::is_signed_v<U> ? Kind::Int : Kind::UInt;
    } else if constexpr (std::is_floating_point_v<U>) {
        return Kind::Double;
    } else if constexpr (std::is_same_v<std::decay_t<U>, char*> ||
                         std::is_same_v<std::decay_t<U>, const char*> ||
                         std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view>) {
        return Kind::String;
    } else if constexpr (std::is_pointer_v<std::decay_t<U>> || std::is_null_pointer_v<U>) {
        return Kind::Pointer;
    } else {
        static_assert(sizeof(U) == 0, "FormatStr: argument type cannot be formatted");
    }
}

template <class T>
Arg MakeArg(const T& value) {
    using U = std::remove_cvref_t<T>;
    Arg a;
    a.kind = KindOf<T>();
    if constexpr (std::is_same_v<U, bool> || std::is_enum_v<U> || std::is_integral_v<U>) {
        if (a.kind == Kind::Int) {
            a.i = static_cast<long long>(value);
            a.u = static_cast<unsigned long long>(a.i);
        } else {
            a.u = static_cast<unsigned long long>(value);
            a.i = static_cast<long long>(a.u);
        }
    } else if constexpr (std::is_floating_point_v<U>) {
        a.d = static_cast<double>(value);
    } else if constexpr (std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view>) {
        a.s = std::string_view(value);
        a.p = value.data();
    } else if constexpr (std::is_null_pointer_v<U>) {
        a.nullString = true;
    } else if constexpr (std::is_same_v<std::decay_t<U>, char*> ||
                         std::is_same_v<std::decay_t<U>, const char*>) {
        const char* text = value;
        a.p = text;
        if (text)
            a.s = std::string_view(text);
        else
            a.nullString = true;
    } else {
        a.p = static_cast<const void*>(value);
    }
    return a;
}

// One conversion (flags, width, precision, length modifier, conversion character), parsed from
// the text after '%'.
struct Conversion {
    char flags[6] = {};
    int flagCount = 0;
    bool widthStar = false;
    int width = -1;
    bool precStar = false;
    int prec = -1;
    char length[3] = {};  // "", "h", "hh", "l", "ll", "L", "j", "z", "t"
    char conv = 0;
    size_t end = 0;  // index just after the conversion character
};

constexpr int kMaxFieldWidth = 100000;

// Parses the conversion that starts after the '%' at fmt[pos - 1]. False when malformed.
constexpr bool ParseConversion(std::string_view fmt, size_t pos, Conversion& cv) {
    auto at = [&](size_t i) -> char { return i < fmt.size() ? fmt[i] : '\0'; };
    while (true) {
        char c = at(pos);
        if (c == '-' || c == '+' || c == ' ' || c == '#' || c == '0') {
            if (cv.flagCount >= 5) return false;
            cv.flags[cv.flagCount++] = c;
            ++pos;
        } else {
            break;
        }
    }
    if (at(pos) == '*') {
        cv.widthStar = true;
        ++pos;
    } else if (at(pos) >= '0' && at(pos) <= '9') {
        long long w = 0;
        while (at(pos) >= '0' && at(pos) <= '9') {
            w = w * 10 + (at(pos) - '0');
            if (w > kMaxFieldWidth) return false;
            ++pos;
        }
        cv.width = static_cast<int>(w);
    }
    if (at(pos) == '.') {
        ++pos;
        if (at(pos) == '*') {
            cv.precStar = true;
            ++pos;
        } else {
            long long p = 0;
            while (at(pos) >= '0' && at(pos) <= '9') {
                p = p * 10 + (at(pos) - '0');
                if (p > kMaxFieldWidth) return false;
                ++pos;
            }
            cv.prec = static_cast<int>(p);
        }
    }
    char l = at(pos);
    if (l == 'h' || l == 'l') {
        cv.length[0] = l;
        ++pos;
        if (at(pos) == l) {
            cv.length[1] = l;
            ++pos;
        }
    } else if (l == 'L' || l == 'j' || l == 'z' || l == 't') {
        cv.length[0] = l;
        ++pos;
    }
    cv.conv = at(pos);
    if (cv.conv == '\0') return false;
    cv.end = pos + 1;
    return true;
}

constexpr bool IsIntConv(char c) {
    return c == 'd' || c == 'i' || c == 'u' || c == 'o' || c == 'x' || c == 'X' || c == 'c';
}
constexpr bool IsFloatConv(char c) {
    return c == 'f' || c == 'F' || c == 'e' || c == 'E' || c == 'g' || c == 'G' || c == 'a' ||
           c == 'A';
}

// True when the conversion accepts an argument of kind k with its length modifier.
constexpr bool Accepts(const Conversion& s, Kind k) {
    const char l0 = s.length[0];
    if (IsIntConv(s.conv)) {
        if (l0 == 'L') return false;
        if (s.conv == 'c' && l0 != '\0') return false;
        return k == Kind::Int || k == Kind::UInt;
    }
    if (IsFloatConv(s.conv)) {
        if (l0 != '\0' && !(l0 == 'l' && s.length[1] == '\0') && l0 != 'L') return false;
        return k == Kind::Double;
    }
    if (s.conv == 's') return l0 == '\0' && k == Kind::String;
    if (s.conv == 'p') return l0 == '\0' && (k == Kind::Pointer || k == Kind::String);
    return false;  // %n and unknown conversions are never accepted
}

// Checks a whole format against the kinds of the arguments given. Arguments beyond those the
// format uses are ignored, as printf does.
constexpr bool Validate(std::string_view fmt, std::span<const Kind> kinds) {
    size_t next = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        if (i + 1 < fmt.size() && fmt[i + 1] == '%') {
            ++i;
            continue;
        }
        Conversion s{};
        if (!ParseConversion(fmt, i + 1, s)) return false;
        if (s.widthStar) {
            if (next >= kinds.size() || (kinds[next] != Kind::Int && kinds[next] != Kind::UInt))
                return false;
            ++next;
        }
        if (s.precStar) {
            if (next >= kinds.size() || (kinds[next] != Kind::Int && kinds[next] != Kind::UInt))
                return false;
            ++next;
        }
        if (next >= kinds.size() || !Accepts(s, kinds[next])) return false;
        ++next;
        i = s.end - 1;
    }
    return true;
}

// Formats into `out`; false (out unspecified) when the format and the arguments do not fit.
bool FormatArgs(std::string& out, std::string_view fmt, std::span<const Arg> args);

void FormatMismatchAtCompileTime();  // never defined: calling it in a consteval context fails

template <class... Args>
struct CheckedFormat {
    std::string_view text;
    template <class S>
    requires std::is_convertible_v<const S&, std::string_view>
    consteval CheckedFormat(const S& s) : text(s) {
        constexpr Kind kinds[sizeof...(Args) + 1] = {KindOf<Args>()..., Kind::Int};
        if (!Validate(text, std::span<const Kind>(kinds, sizeof...(Args))))
            FormatMismatchAtCompileTime();
    }
};

template <class... Args>
using FormatText = CheckedFormat<std::type_identity_t<Args>...>;

}  // namespace fmt

// Text used when the arguments do not fit the format, and when even that text cannot be built.
std::string FormatStrError(const char* format);

// Runtime form: the format may come from anywhere (or be null).
template <class... Args>
std::string FormatStrRt(const char* format, const Args&... args) {
    if (!format) return FormatStrError(nullptr);
    const fmt::Arg list[sizeof...(Args) + 1] = {fmt::MakeArg(args)..., fmt::Arg{}};
    std::string out;
    if (!fmt::FormatArgs(out, format, std::span<const fmt::Arg>(list, sizeof...(Args))))
        return FormatStrError(format);
    return out;
}

// Checked form: a literal format is validated against the argument types when compiling.
template <class... Args>
std::string FormatStr(fmt::FormatText<Args...> format, const Args&... args) {
    const fmt::Arg list[sizeof...(Args) + 1] = {fmt::MakeArg(args)..., fmt::Arg{}};
    std::string out;
    if (!fmt::FormatArgs(out, format.text, std::span<const fmt::Arg>(list, sizeof...(Args))))
        return FormatStrError(std::string(format.text).c_str());
    return out;
}

}  // namespace jvo
