#pragma once
// HTTP requests to the exporter as its clients send them: a raw request over loopback TCP, with
// or without TLS (OpenSSL, optionally with a client certificate), and the answer taken apart.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace jvo::test {

struct HttpAnswer {
    int status = 0;  // 0: no answer (refused, handshake failed, closed or timed out)
    std::string headers;
    std::string body;
};

struct TlsClient {
    std::string ca;    // the CA that signed the server's certificate
    std::string cert;  // client certificate and key, when one is presented
    std::string key;
};

// A connected loopback socket with a receive time-out, or -1.
inline int ConnectLoopback(uint16_t port, int timeoutSeconds = 30) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    timeval tv{timeoutSeconds, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

inline HttpAnswer ParseAnswer(const std::string& response) {
    HttpAnswer a;
    const size_t end = response.find("\r\n\r\n");
    if (response.compare(0, 5, "HTTP/") != 0 || end == std::string::npos) return a;
    a.status = std::atoi(response.c_str() + response.find(' ') + 1);
    a.headers = response.substr(0, end + 2);
    a.body = response.substr(end + 4);
    return a;
}

// Sends `request` as it is and reads until the server closes (send "Connection: close").
inline HttpAnswer Exchange(uint16_t port, const std::string& request,
                           const TlsClient* tls = nullptr) {
    const int s = ConnectLoopback(port);
    if (s < 0) return {};
    std::string response;
    if (!tls) {
        if (::send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t n;
            while ((n = ::recv(s, buffer, sizeof buffer, 0)) > 0)
                response.append(buffer, static_cast<size_t>(n));
        }
        ::close(s);
        return ParseAnswer(response);
    }
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> ctx(SSL_CTX_new(TLS_client_method()),
                                                     &SSL_CTX_free);
    SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    bool ok = SSL_CTX_load_verify_locations(ctx.get(), tls->ca.c_str(), nullptr) == 1;
    if (ok && !tls->cert.empty())
        ok = SSL_CTX_use_certificate_chain_file(ctx.get(), tls->cert.c_str()) == 1 &&
             SSL_CTX_use_PrivateKey_file(ctx.get(), tls->key.c_str(), SSL_FILETYPE_PEM) == 1;
    std::unique_ptr<SSL, void (*)(SSL*)> ssl(SSL_new(ctx.get()), &SSL_free);
    SSL_set_fd(ssl.get(), s);
    SSL_set_tlsext_host_name(ssl.get(), "localhost");
    SSL_set1_host(ssl.get(), "localhost");
    if (ok && SSL_connect(ssl.get()) == 1 &&
        SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())) ==
            static_cast<int>(request.size())) {
        char buffer[65536];
        int n;
        while ((n = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0)
            response.append(buffer, static_cast<size_t>(n));
    }
    ERR_clear_error();
    ssl.reset();
    ::close(s);
    return ParseAnswer(response);
}

inline HttpAnswer Get(uint16_t port, const std::string& path, const std::string& method = "GET",
                      const std::string& extraHeaders = "", const TlsClient* tls = nullptr) {
    return Exchange(port,
                    method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                        extraHeaders + "\r\n",
                    tls);
}

inline HttpAnswer Get(uint16_t port, const std::string& path, const std::string& method,
                      const std::string& extraHeaders, const TlsClient& tls) {
    return Get(port, path, method, extraHeaders, &tls);
}

}  // namespace jvo::test
