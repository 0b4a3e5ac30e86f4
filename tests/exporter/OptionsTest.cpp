// The exporter's command line and configuration file.
#include <gtest/gtest.h>

#include <fstream>

#include "exporter/ExporterOptions.h"
#include "exporter/WebConfig.h"
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

TEST(ExporterOptionsTest, WebConfigurationKeysAndValues) {
    const std::string hash = "$2y$10$QOauhQNbBCuQDKes6eFzPeMqBSjb7Mr5DUmpZ/VcEd00UAV/LDeSi";
    exporter::WebConfig web;
    std::string error;
    ASSERT_TRUE(
        exporter::ParseWebConfig("tls_server_config:\n"
                                 "  cert_file: s.crt\n"
                                 "  key_file: /etc/jvo/s.key\n"
                                 "  client_ca_file: ca.crt\n"
                                 "  client_auth_type: VerifyClientCertIfGiven\n"
                                 "basic_auth_users:\n"
                                 "  prom: " +
                                     hash + "\n",
                                 "web.yml", "/site", web, error))
        << error;
    ASSERT_TRUE(web.m_Tls);
    EXPECT_EQ(web.m_Tls->m_CertFile, "/site/s.crt");  // relative to the file's folder
    EXPECT_EQ(web.m_Tls->m_KeyFile, "/etc/jvo/s.key");
    EXPECT_EQ(web.m_Tls->m_ClientAuth, exporter::ClientAuth::VerifyIfGiven);
    ASSERT_EQ(web.m_Users.size(), 1u);
    EXPECT_EQ(web.m_Users[0].second, hash);
    ASSERT_TRUE(exporter::ParseWebConfig("", "web.yml", ".", web, error)) << error;
    EXPECT_FALSE(web.m_Tls);

    // Each refusal names what is wrong.
    const std::pair<std::string, std::string> bad[] = {
        {"http_server_config:\n  http2: false\n", "'http_server_config'"},
        {"tls_server_config:\n  cert_file: a\n  key_file: b\n  min_version: TLS13\n",
         "'tls_server_config.min_version'"},
        {"tls_server_config:\n  cert_file: a\n", "cert_file and key_file"},
        {"tls_server_config:\n  cert_file: a\n  key_file: b\n  client_auth_type: Any\n", "'Any'"},
        {"tls_server_config:\n  cert_file: a\n  key_file: b\n"
         "  client_auth_type: RequireAndVerifyClientCert\n",
         "needs client_ca_file"},
        {"tls_server_config:\n  cert_file: a\n  key_file: b\n  client_ca_file: c\n",
         "client_ca_file is given"},
        {"basic_auth_users:\n  prom: secret\n", "not a bcrypt hash"},
        {"basic_auth_users:\n  prom: $6$salt$abc\n", "not a bcrypt hash"},
        {"basic_auth_users:\n  a: " + hash + "\n  a: " + hash + "\n", "'a' is given twice"},
        {"basic_auth_users: [a, b]\n", "must be a mapping"},
        {"tls_server_config: {cert_file: [x]}\n", "'cert_file' must be a text"},
        {"basic_auth_users: [unclosed\n", "not YAML"},
    };
    for (const auto& [text, why] : bad) {
        error.clear();
        EXPECT_FALSE(exporter::ParseWebConfig(text, "web.yml", ".", web, error)) << text;
        EXPECT_NE(error.find("web.yml: "), std::string::npos) << error;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }

    // Through the command line and the configuration file: missing files are file problems.
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ExporterOptions o;
    EXPECT_EQ(Parse({"--web-config", dir.File("none.yml"), "a=com:1"}, o, error),
              ParseStatus::FILE);
    EXPECT_NE(error.find("cannot read the web configuration"), std::string::npos) << error;
    std::ofstream(dir.File("web.yml"))
        << "tls_server_config:\n  cert_file: s.crt\n  key_file: s.key\n";
    std::ofstream(dir.File("exporter.conf")) << "web-config web.yml\na=com:1\n";
    EXPECT_EQ(Parse({"--config", dir.File("exporter.conf")}, o, error), ParseStatus::FILE);
    EXPECT_NE(error.find("cannot load the certificate " + dir.File("s.crt")), std::string::npos)
        << error;
    EXPECT_EQ(Parse({"--web-config=", "a=com:1"}, o, error), ParseStatus::USAGE);
}

}  // namespace
}  // namespace jvo::test
