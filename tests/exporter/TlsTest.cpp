// The exporter over TLS with client certificates and basic authentication, as a site sets it up:
// certificates made with the README's openssl commands, a web configuration file, and clients
// with the right, a wrong, an expired or no certificate and with or without the password.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "exporter/Exporter.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/HttpClient.h"
#include "tests/exporter/SiteCa.h"

namespace jvo::test {
namespace {

std::string BasicHeader(const std::string& base64) {
    return "Authorization: Basic " + base64 + "\r\n";
}

class TlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
        ASSERT_TRUE(MakeSiteCa(dir.Path())) << "see " << dir.File("openssl.log");
    }
    // Starts (or, when running, reloads) the exporter with this web configuration.
    void Serve(const std::string& yaml) {
        std::ofstream(dir.File("web.yml")) << yaml;
        std::vector<std::string> args{"jvo-exporter", "--listen",          ".:0",
                                      "--web-config", dir.File("web.yml"), "gone=com:9"};
        std::vector<const char*> argv;
        for (const auto& a : args)
            argv.push_back(a.c_str());
        exporter::ExporterOptions o;
        std::string error;
        ASSERT_EQ(exporter::ParseExporterArgs(static_cast<int>(argv.size()), argv.data(), o, error),
                  exporter::ParseStatus::OK)
            << error;
        if (ex) {
            ex->Reload(std::move(o));
            return;
        }
        ex = std::make_unique<exporter::Exporter>(std::move(o));
        ASSERT_TRUE(ex->Start(error)) << error;
    }
    TlsClient Client(const std::string& name, const std::string& ca = "ca.crt") const {
        if (name.empty()) return {dir.File(ca), "", ""};
        return {dir.File(ca), dir.File(name + ".crt"), dir.File(name + ".key")};
    }
    int Status(const TlsClient& client, const std::string& auth = "") const {
        return Get(ex->Port(), "/metrics", "GET", auth, client).status;
    }

    TempDir dir;
    std::unique_ptr<exporter::Exporter> ex;
};

TEST_F(TlsTest, ClientCertificatesAndPasswordsAsTheWebConfigurationSays) {
    // "prometheus:secret" and "prometheus:wrong" in base64.
    const std::string good = BasicHeader("cHJvbWV0aGV1czpzZWNyZXQ=");
    const std::string wrong = BasicHeader("cHJvbWV0aGV1czp3cm9uZw==");
    Serve(
        "tls_server_config:\n"
        "  cert_file: localhost.crt\n"
        "  key_file: localhost.key\n"
        "  client_ca_file: ca.crt\n"
        "  client_auth_type: RequireAndVerifyClientCert\n"
        "basic_auth_users:\n"
        "  prometheus: " +
        Bcrypt("secret") + "\n");
    const HttpAnswer ok = Get(ex->Port(), "/metrics", "GET", good, Client("prometheus"));
    EXPECT_EQ(ok.status, 200);
    EXPECT_NE(ok.body.find("jvo_up{unit=\"gone\"} 0"), std::string::npos);
    // Twice: the second is answered from the remembered check.
    EXPECT_EQ(Status(Client("prometheus"), good), 200);

    const HttpAnswer denied = Get(ex->Port(), "/metrics", "GET", "", Client("prometheus"));
    EXPECT_EQ(denied.status, 401);
    EXPECT_NE(denied.headers.find("WWW-Authenticate: Basic"), std::string::npos);
    EXPECT_EQ(Status(Client("prometheus"), wrong), 401);
    EXPECT_EQ(Status(Client("prometheus"), BasicHeader("bm9ib2R5OnNlY3JldA==")), 401);  // nobody
    EXPECT_EQ(Status(Client("prometheus"), BasicHeader("not base64")), 401);
    // The 401 comes before the 404: who may not look learns nothing about the paths.
    EXPECT_EQ(Get(ex->Port(), "/x", "GET", "", Client("prometheus")).status, 401);

    // No certificate, one of another CA, an expired one: no handshake.
    EXPECT_EQ(Status(Client(""), good), 0);
    EXPECT_EQ(Status(Client("other/stranger"), good), 0);
    EXPECT_EQ(Status(Client("expired"), good), 0);
    // A client that trusts another CA refuses the server; plain HTTP gets nothing.
    EXPECT_EQ(Status(Client("prometheus", "other/ca.crt"), good), 0);
    EXPECT_NE(Get(ex->Port(), "/metrics", "GET", good).status, 200);

    // Idle TLS connections, which never start their handshake, hold up no one.
    std::vector<int> idle;
    for (int i = 0; i < 10; ++i)
        idle.push_back(ConnectLoopback(ex->Port()));
    EXPECT_EQ(Status(Client("prometheus"), good), 200);
    for (const int s : idle)
        ::close(s);

    // Reloaded: a certificate is optional but verified when given; another user.
    Serve(
        "tls_server_config:\n"
        "  cert_file: " +
        dir.File("localhost.crt") +
        "\n"
        "  key_file: localhost.key\n"
        "  client_ca_file: ca.crt\n"
        "  client_auth_type: VerifyClientCertIfGiven\n"
        "basic_auth_users:\n"
        "  admin: " +
        Bcrypt("secret") + "\n");
    EXPECT_EQ(Status(Client(""), good), 401);
    EXPECT_EQ(Status(Client(""), BasicHeader("YWRtaW46c2VjcmV0")), 200);  // admin:secret
    EXPECT_EQ(Status(Client("expired"), BasicHeader("YWRtaW46c2VjcmV0")), 0);
    // RequireAnyClientCert asks for one and takes any.
    Serve(
        "tls_server_config:\n"
        "  cert_file: localhost.crt\n"
        "  key_file: localhost.key\n"
        "  client_auth_type: RequireAnyClientCert\n");
    EXPECT_EQ(Status(Client("other/stranger")), 200);
    EXPECT_EQ(Status(Client("")), 0);
}

}  // namespace
}  // namespace jvo::test
