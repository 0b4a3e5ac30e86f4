#include "exporter/ServerTls.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstring>

namespace jvo::exporter {

namespace {

// The reason of OpenSSL's oldest queued error (the first thing that went wrong), and the queue
// emptied.
std::string OpenSslReason() {
    const unsigned long err = ERR_get_error();
    ERR_clear_error();
    if (err == 0) return "unknown error";
    if (ERR_SYSTEM_ERROR(err)) return std::strerror(ERR_GET_REASON(err));
    if (ERR_GET_LIB(err) == ERR_LIB_X509 && ERR_GET_REASON(err) == X509_R_KEY_VALUES_MISMATCH)
        return "it does not belong to the certificate";
    const char* reason = ERR_reason_error_string(err);
    if (reason) return reason;
    char text[256];
    ERR_error_string_n(err, text, sizeof text);
    return text;
}

// Asks for a certificate without judging it (RequestClientCert, RequireAnyClientCert).
int AcceptAny(int, X509_STORE_CTX*) {
    return 1;
}

}  // namespace

ServerTls MakeServerTls(const WebConfig::Tls& tls, std::string& error) {
    ERR_clear_error();
    ServerTls ctx(SSL_CTX_new(TLS_server_method()), &SSL_CTX_free);
    if (!ctx) {
        error = "cannot set up TLS: " + OpenSslReason();
        return nullptr;
    }
    SSL_CTX* c = ctx.get();
    SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
    SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (SSL_CTX_use_certificate_chain_file(c, tls.m_CertFile.c_str()) != 1) {
        error = "cannot load the certificate " + tls.m_CertFile + ": " + OpenSslReason();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(c, tls.m_KeyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot load the key " + tls.m_KeyFile + ": " + OpenSslReason();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(c) != 1) {
        ERR_clear_error();
        error =
            "the key " + tls.m_KeyFile + " does not belong to the certificate " + tls.m_CertFile;
        return nullptr;
    }
    if (!tls.m_ClientCaFile.empty()) {
        if (SSL_CTX_load_verify_locations(c, tls.m_ClientCaFile.c_str(), nullptr) != 1) {
            error = "cannot load the client CA " + tls.m_ClientCaFile + ": " + OpenSslReason();
            return nullptr;
        }
        // The CA names go to the client as the ones whose certificates are wanted.
        STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(tls.m_ClientCaFile.c_str());
        if (!names) {
            error = "the client CA " + tls.m_ClientCaFile + " holds no certificate";
            ERR_clear_error();
            return nullptr;
        }
        SSL_CTX_set_client_CA_list(c, names);
    }
    // A client certificate must be one for client use where its key usage says so.
    SSL_CTX_set_purpose(c, X509_PURPOSE_SSL_CLIENT);
    static const unsigned char kSessionContext[] = "jvo-exporter";
    SSL_CTX_set_session_id_context(c, kSessionContext, sizeof kSessionContext - 1);
    switch (tls.m_ClientAuth) {
        case ClientAuth::None:
            SSL_CTX_set_verify(c, SSL_VERIFY_NONE, nullptr);
            break;
        case ClientAuth::Request:
            SSL_CTX_set_verify(c, SSL_VERIFY_PEER, &AcceptAny);
            break;
        case ClientAuth::RequireAny:
            SSL_CTX_set_verify(c, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, &AcceptAny);
            break;
        case ClientAuth::VerifyIfGiven:
            SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
            break;
        case ClientAuth::RequireAndVerify:
            SSL_CTX_set_verify(c, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
            break;
    }
    return ctx;
}

}  // namespace jvo::exporter
