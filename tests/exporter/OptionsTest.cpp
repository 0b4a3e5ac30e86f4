// The exporter's command line and configuration file.
#include <gtest/gtest.h>

#include <fstream>

#include "exporter/ExporterOptions.h"
#include "tests/config/TestConfigs.h"

namespace jvo::test {
namespace {

using exporter::ExporterOptions;
using exporter::ParseStatus;
using exporter::UnitEntry;

ParseStatus Parse(std::vector<std::string> args, ExporterOptions& o, std::string& error) {
    args.insert(args.begin(), "jvo-exporter");
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return exporter::ParseExporterArgs(static_cast<int>(argv.size()), argv.data(), o, error);
}

TEST(ExporterOptionsTest, CommandLineAndFileTogether) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string conf = dir.File("exporter.conf");
    std::ofstream(conf) << "# site 3\n"
                           "\n"
                           "listen 0.0.0.0:9700\n"
                           "  north=proxy:gw-north  \n"
                           "south_2=device:/dev/ttyUSB0\r\n";
    ExporterOptions o;
    std::string error;
    ASSERT_EQ(Parse({"--config=" + conf, "cab-1=com:32", "--listen", ".:0"}, o, error),
              ParseStatus::OK)
        << error;
    // The command line's --listen wins over the file's.
    EXPECT_EQ(o.m_ListenAddress, "127.0.0.1");
    EXPECT_EQ(o.m_ListenPort, 0);
    ASSERT_EQ(o.m_Units.size(), 3u);
    EXPECT_EQ(o.m_Units[0].Describe(), "proxy:gw-north:43015");
    EXPECT_EQ(o.m_Units[1].m_Name, "south_2");
    EXPECT_EQ(o.m_Units[1].Describe(), "device:/dev/ttyUSB0");
    EXPECT_EQ(o.m_Units[2].Describe(), "com:32");

    ASSERT_EQ(Parse({"--config", conf}, o, error), ParseStatus::OK) << error;
    EXPECT_EQ(o.m_ListenAddress, "0.0.0.0");
    EXPECT_EQ(o.m_ListenPort, 9700);
    ASSERT_EQ(Parse({"a=proxy:.:4000"}, o, error), ParseStatus::OK) << error;
    EXPECT_EQ(o.m_ListenAddress, "127.0.0.1");
    EXPECT_EQ(o.m_ListenPort, exporter::kDefaultListenPort);
    EXPECT_EQ(o.m_Units[0].Describe(), "proxy:127.0.0.1:4000");
    ASSERT_EQ(Parse({"--help"}, o, error), ParseStatus::OK);
    EXPECT_TRUE(o.m_Help);
}

TEST(ExporterOptionsTest, RefusesWhatItCannotServe) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ExporterOptions o;
    std::string error;
    for (const std::vector<std::string>& bad : {std::vector<std::string>{},
                                                {"cab 1=com:1"},
                                                {"=com:1"},
                                                {"cab1=com:33"},
                                                {"cab1=com:x"},
                                                {"cab1=tcp:1"},
                                                {"cab1=device:"},
                                                {"cab1=proxy::5"},
                                                {"cab1=proxy:h:0"},
                                                {"a=com:1", "a=com:2"},
                                                {"--listen", "70000", "a=com:1"},
                                                {"--listen"},
                                                {"--verbose", "a=com:1"}}) {
        error.clear();
        EXPECT_EQ(Parse(bad, o, error), ParseStatus::USAGE) << ::testing::PrintToString(bad);
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(Parse({"--config", dir.File("missing.conf")}, o, error), ParseStatus::FILE);
    const std::string conf = dir.File("bad.conf");
    std::ofstream(conf) << "a=com:1\n# fine\nb=serial:2\n";
    EXPECT_EQ(Parse({"--config", conf}, o, error), ParseStatus::FILE);
    EXPECT_NE(error.find("bad.conf:3:"), std::string::npos) << error;
    // A folder opens but cannot be read; a damaged line is shown without its control characters.
    EXPECT_EQ(Parse({"--config", dir.Path()}, o, error), ParseStatus::FILE);
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
    std::ofstream(conf) << "a\x1b]0;x\x07=com:1\n";
    EXPECT_EQ(Parse({"--config", conf}, o, error), ParseStatus::FILE);
    EXPECT_EQ(error.find('\x1b'), std::string::npos) << error;
    EXPECT_NE(error.find("'a\\x1b]0;x\\x07=com:1'"), std::string::npos) << error;
}

}  // namespace
}  // namespace jvo::test
