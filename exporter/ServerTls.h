#pragma once
// The exporter's TLS server context from the web configuration's tls_server_config (OpenSSL 3):
// TLS 1.2 and 1.3, the certificate chain and key, and the client certificates asked for and
// checked as client_auth_type says.
#include <memory>
#include <string>

#include "exporter/WebConfig.h"

struct ssl_ctx_st;

namespace jvo::exporter {

using ServerTls = std::shared_ptr<ssl_ctx_st>;

// Loads the files now, so that a bad file is reported at start or reload; null with the reason
// (naming the file) in `error`.
ServerTls MakeServerTls(const WebConfig::Tls& tls, std::string& error);

}  // namespace jvo::exporter
