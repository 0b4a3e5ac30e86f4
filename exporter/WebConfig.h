#pragma once
// The exporter's web configuration (--web-config FILE), in the YAML format of the Prometheus
// exporter toolkit, limited to these keys:
//
//   tls_server_config:
//     cert_file: server.crt          # the server's certificate (chain), PEM
//     key_file: server.key           # its private key, PEM
//     client_ca_file: site-ca.crt    # CAs that sign client certificates
//     client_auth_type: RequireAndVerifyClientCert
//   basic_auth_users:
//     prometheus: $2y$10$...         # bcrypt hash of the password
//
// Relative file names are taken from the folder of the configuration file. Any other key is an
// error that names it. client_auth_type is one of NoClientCert (the default), RequestClientCert,
// RequireAnyClientCert, VerifyClientCertIfGiven and RequireAndVerifyClientCert, as the toolkit
// defines them; the two that verify need client_ca_file.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace jvo::exporter {

enum class ClientAuth {
    None,              // NoClientCert: no certificate is asked for
    Request,           // RequestClientCert: asked for, not required, not verified
    RequireAny,        // RequireAnyClientCert: required, not verified
    VerifyIfGiven,     // VerifyClientCertIfGiven: not required, verified when given
    RequireAndVerify,  // RequireAndVerifyClientCert: required and verified
};

struct WebConfig {
    struct Tls {
        std::string m_CertFile;
        std::string m_KeyFile;
        std::string m_ClientCaFile;  // empty: none
        ClientAuth m_ClientAuth = ClientAuth::None;
    };
    std::optional<Tls> m_Tls;
    // User name and bcrypt hash, in the file's order.
    std::vector<std::pair<std::string, std::string>> m_Users;
};

// The text of a web configuration; `source` names it in messages ("FILE: ..."), `folder` is where
// relative file names point. False with the reason in `error`.
bool ParseWebConfig(const std::string& text, const std::string& source, const std::string& folder,
                    WebConfig& config, std::string& error);

}  // namespace jvo::exporter
