#include "base/FormatStr.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace jvo {
namespace {

TEST(FormatStr, MatchesPrintfForCommonConversions) {
    EXPECT_EQ(FormatStr("Could not open COM%d\n", 3), "Could not open COM3\n");
    EXPECT_EQ(FormatStr("%c-%s|%5s|%-4s|", 'A', std::string("x"), "ab", "c"), "A-x|   ab|c   |");
    EXPECT_EQ(FormatStr("%08x %X %o %u", 0xBEEFu, 255, 8, 42u), "0000beef FF 10 42");
    EXPECT_EQ(FormatStr("%10.4lfA (%1u)", 1.5, 0u), "    1.5000A (0)");
    EXPECT_EQ(FormatStr("%+d %.1lf %% %2d", 30, 0.05, 7), "+30 0.1 %  7");
    EXPECT_EQ(FormatStr("%.2s|%*d|%-*d|", "abc", 4, 5, 3, 6), "ab|   5|6  |");
    EXPECT_EQ(FormatStr("%lld %llu %hhd", -5LL, 18446744073709551615ULL, 300),
              "-5 18446744073709551615 44");
    char expect[64];
    std::snprintf(expect, sizeof expect, "%g %e %p", 0.25, 1e10, static_cast<void*>(nullptr));
    EXPECT_EQ(FormatStr("%g %e %p", 0.25, 1e10, static_cast<void*>(nullptr)), expect);
}

TEST(FormatStr, TruncatesIntegersLikePrintf) {
    EXPECT_EQ(FormatStr("%u", -1), "4294967295");
    EXPECT_EQ(FormatStr("%d", 0x100000005LL), "5");
    EXPECT_EQ(FormatStr("%hu", 65537), "1");
}

TEST(FormatStr, MismatchGivesErrorText) {
    EXPECT_EQ(FormatStrRt("%d", "text"), "FormatStr() Error: Invalid arguments: 'format'=\"%d\"");
    EXPECT_EQ(FormatStrRt("%s", 5), "FormatStr() Error: Invalid arguments: 'format'=\"%s\"");
    EXPECT_EQ(FormatStrRt("%d %d", 1), "FormatStr() Error: Invalid arguments: 'format'=\"%d %d\"");
    EXPECT_EQ(FormatStrRt("%f", 1), "FormatStr() Error: Invalid arguments: 'format'=\"%f\"");
    EXPECT_EQ(FormatStrRt("%n", 1), "FormatStr() Error: Invalid arguments: 'format'=\"%n\"");
    EXPECT_EQ(FormatStrRt("%", 1), "FormatStr() Error: Invalid arguments: 'format'=\"%\"");
    EXPECT_EQ(FormatStrRt("%s", static_cast<const char*>(nullptr)),
              "FormatStr() Error: Invalid arguments: 'format'=\"%s\"");
    EXPECT_EQ(FormatStrRt("%999999999d", 1),
              "FormatStr() Error: Invalid arguments: 'format'=\"%999999999d\"");
    EXPECT_EQ(FormatStrRt(nullptr, 1), "FormatStr() Error: Invalid arguments: 'format' is invalid");
    // Extra arguments are ignored, as printf does.
    EXPECT_EQ(FormatStrRt("%d", 1, 2), "1");
}

TEST(FormatStr, CompileTimeValidation) {
    static_assert(fmt::Validate("%d %s", std::array{fmt::Kind::Int, fmt::Kind::String}));
    static_assert(!fmt::Validate("%d %s", std::array{fmt::Kind::Int, fmt::Kind::Int}));
    static_assert(!fmt::Validate("%d", std::span<const fmt::Kind>{}));
    static_assert(fmt::Validate("100%%", std::span<const fmt::Kind>{}));
}

}  // namespace
}  // namespace jvo
