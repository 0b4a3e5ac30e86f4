#pragma once
// TLS 1.3 on the proxy path, beside the socket layer: the server's sessions run inside the proxy
// server's event loop over its non-blocking sockets, the client's session runs in a tunnel that
// hands the rest of the link a plain socket (so TcpSocket, its keep-alives and idle limit work
// unchanged inside TLS). All socket I/O still goes through link/Socket.h.
//
// Built with OpenSSL 3 where the build has it (TlsOpenSsl.cpp); elsewhere (the Windows build)
// every call fails with TlsUnavailableReason() (TlsNone.cpp).
#include <cstdint>
#include <memory>
#include <string>

#include "link/Socket.h"

namespace jvo {

// PEM files. Server: its certificate chain, key, and the CA that signs client certificates.
// Client: the CA that signs the server's certificate, and its own certificate and key (both or
// neither).
struct TlsFiles {
    std::string ca;
    std::string cert;
    std::string key;
    bool operator==(const TlsFiles&) const = default;
};

// Whether this build can do TLS; the reason in words when it cannot.
bool TlsAvailable();
std::string TlsUnavailableReason();

// The server's certificate, key and client CA, loaded at once (a bad file is reported at start,
// naming it). Every client must show a certificate signed by that CA.
class TlsServerContext;
std::shared_ptr<TlsServerContext> MakeTlsServerContext(const TlsFiles& files, std::string& error);

// One server-side session over a socket the caller owns and polls.
class TlsServerSession {
public:
    enum class Io {
        Done,    // the handshake is complete, or bytes moved
        Again,   // call again once the socket is readable (or writable: WantsWrite())
        Closed,  // the peer closed the session
        Failed,  // see Failure()
    };

    // Null when the build has no TLS.
    static std::unique_ptr<TlsServerSession> Start(const std::shared_ptr<TlsServerContext>& ctx,
                                                   NativeSocket socket);
    ~TlsServerSession();
    TlsServerSession(const TlsServerSession&) = delete;
    TlsServerSession& operator=(const TlsServerSession&) = delete;

    Io Handshake();
    // Up to `capacity` plain bytes: the count (> 0), or -1 with `io` saying why not.
    int64_t Read(void* buffer, size_t capacity, Io& io);
    // Takes up to `count` plain bytes: the count, or -1 with `io` (Again: no room now).
    int64_t Write(const void* data, size_t count, Io& io);
    // Sends encrypted bytes that wait (Done, or Failed).
    Io Flush();
    // Encrypted bytes wait for room on the socket.
    bool WantsWrite() const;
    // Plain bytes are decrypted and waiting (the socket may not be readable for them).
    bool Buffered() const;
    // Why the session failed ("certificate verify failed: certificate has expired").
    const std::string& Failure() const;
    // The verified client certificate's subject in RFC 2253 form ("CN=ops,O=Site").
    const std::string& Subject() const;

    struct Impl;

private:
    explicit TlsServerSession(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_Impl;
};

// The client side: a TLS session to a proxy server, carried by a thread of its own between the
// encrypted socket and a plain socket pair.
class TlsClientTunnel {
public:
    // Handshakes over the connected socket `tcp` with the server at `host` (a name or a dotted
    // address, checked against the server's certificate), at most timeoutMs, and waits for the
    // server to accept the client certificate. On success `plain` is the socket to use and the
    // tunnel runs until either end closes; on failure null with the reason in `error`.
    static std::shared_ptr<TlsClientTunnel> Open(SocketHandle tcp, const std::string& host,
                                                 const TlsFiles& files, int32_t timeoutMs,
                                                 SocketHandle& plain, std::string& error);
    ~TlsClientTunnel();
    TlsClientTunnel(const TlsClientTunnel&) = delete;
    TlsClientTunnel& operator=(const TlsClientTunnel&) = delete;

    // Why the session ended, once it ended with an error or an alert; else empty.
    std::string EndReason() const;
    // Ends the tunnel and its thread (idempotent).
    void Stop();

    struct Impl;
    explicit TlsClientTunnel(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> m_Impl;
};

}  // namespace jvo
