// The command-line convention: values after '=', port limits, error texts and the
// prompt that asks until it gets an answer.
#include "base/CmdLine.h"

#include <gtest/gtest.h>

namespace jvo::cmdline {
namespace {

TEST(CmdLineTest, InlineValuesAndPorts) {
    std::string_view name, value;
    ASSERT_TRUE(SplitInlineValue("--com=5", name, value));
    EXPECT_EQ(name, "--com");
    EXPECT_EQ(value, "5");
    ASSERT_TRUE(SplitInlineValue("--proxy=", name, value));
    EXPECT_EQ(value, "");
    for (const char* plain : {"--com", "-o=x", "--=x", "value=1"})
        EXPECT_FALSE(SplitInlineValue(plain, name, value)) << plain;

    std::string host;
    uint16_t port = 0;
    std::string error;
    ASSERT_TRUE(ParseConnectAddress(".", kProxyPort, host, port, error));
    EXPECT_EQ(host, ".");
    EXPECT_EQ(port, kProxyPort);
    ASSERT_TRUE(ParseConnectAddress("unit.example:65535", kProxyPort, host, port, error));
    EXPECT_EQ(host, "unit.example");
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"", ":43015", "host:0", "host:65536", "host:", "host:4x"})
        EXPECT_FALSE(ParseConnectAddress(bad, kProxyPort, host, port, error)) << bad;

    std::string address = "127.0.0.1";
    ASSERT_TRUE(ParseListenAddress("0", address, port, error));
    EXPECT_EQ(port, 0);  // any free port
    EXPECT_EQ(address, "127.0.0.1");
    ASSERT_TRUE(ParseListenAddress(".:65535", address, port, error));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"65536", "-1", "", "host:80", "1.2.3.4:", "1.2.3:80"})
        EXPECT_FALSE(ParseListenAddress(bad, address, port, error)) << bad;
}

TEST(CmdLineTest, ErrorTextNamesTheNumber) {
    EXPECT_EQ(ErrorText(2), "No such file or directory (error 2)");
}

TEST(CmdLineTest, PromptAsksAgainUntilAnswered) {
    FILE* in = std::tmpfile();
    FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fputs("\nperhaps\n  YES \nn\nc\n", in);
    std::rewind(in);
    EXPECT_EQ(AskYesNo(in, out, "Go? "), Reply::YES);
    EXPECT_EQ(AskYesNo(in, out, "Go? "), Reply::NO);
    EXPECT_EQ(AskYesNo(in, out, "Again? ", "retry", "cancel"), Reply::NO);
    EXPECT_EQ(AskYesNo(in, out, "More? "), Reply::END);
    std::rewind(out);
    char text[512] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, out);
    EXPECT_EQ(std::string(text, n),
              "Go? Please answer yes or no.\nGo? Please answer yes or no.\nGo? Go? Again? More? ");
    std::fclose(in);
    std::fclose(out);
}

}  // namespace
}  // namespace jvo::cmdline
