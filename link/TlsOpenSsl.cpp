// TLS 1.3 with OpenSSL 3. Every session works on memory BIOs: OpenSSL never touches a socket, the
// bytes go through the socket layer (non-blocking, no SIGPIPE), and one thread drives a session.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Ipv4.h"
#include "base/SyncEvent.h"
#include "link/OpenSslReason.h"
#include "link/Threads.h"
#include "link/Tls.h"

namespace jvo {

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

bool TlsAvailable() {
    return true;
}

std::string TlsUnavailableReason() {
    return std::string();
}

namespace {

constexpr size_t kChunk = 16 * 1024;
constexpr size_t kMaxHeld = 256 * 1024;  // encrypted or plain bytes waiting for a socket

using CtxPtr = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

// Loads a certificate chain and its key into `c`; false with the reason naming the file.
bool LoadIdentity(SSL_CTX* c, const TlsFiles& f, std::string& error) {
    if (SSL_CTX_use_certificate_chain_file(c, f.cert.c_str()) != 1) {
        error = "cannot load the certificate " + f.cert + ": " + OpenSslReason();
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(c, f.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        error = "cannot load the key " + f.key + ": " + OpenSslReason();
        return false;
    }
    if (SSL_CTX_check_private_key(c) != 1) {
        ERR_clear_error();
        error = "the key " + f.key + " does not belong to the certificate " + f.cert;
        return false;
    }
    return true;
}

bool LoadCa(SSL_CTX* c, const std::string& ca, std::string& error) {
    if (SSL_CTX_load_verify_locations(c, ca.c_str(), nullptr) != 1) {
        error = "cannot load the CA " + ca + ": " + OpenSslReason();
        return false;
    }
    return true;
}

CtxPtr NewContext(const SSL_METHOD* method, std::string& error) {
    ERR_clear_error();
    CtxPtr ctx(SSL_CTX_new(method), &SSL_CTX_free);
    if (!ctx) {
        error = "cannot set up TLS: " + OpenSslReason();
        return ctx;
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_3_VERSION);
    SSL_CTX_set_max_proto_version(ctx.get(), TLS1_3_VERSION);
    return ctx;
}

// One session on memory BIOs and the socket its bytes travel on.
struct Pipe {
    SSL* ssl = nullptr;
    BIO* in = nullptr;   // from the network, read by OpenSSL
    BIO* out = nullptr;  // written by OpenSSL, for the network
    NativeSocket fd = kNoSocket;
    std::vector<uint8_t> pending;  // encrypted bytes the socket did not take yet
    size_t pendingPos = 0;
    bool eof = false;  // the peer closed its side of the stream
    std::string failure;

    Pipe() = default;
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe() {
        if (ssl) SSL_free(ssl);  // frees both BIOs
    }

    bool Init(SSL_CTX* ctx, NativeSocket s) {
        fd = s;
        ssl = SSL_new(ctx);
        in = BIO_new(BIO_s_mem());
        out = BIO_new(BIO_s_mem());
        if (!ssl || !in || !out) {
            BIO_free(in);
            BIO_free(out);
            return false;
        }
        BIO_set_mem_eof_return(in, -1);  // empty: "try again", not the end
        SSL_set_bio(ssl, in, out);
        return true;
    }
    // What the socket has, into OpenSSL. False on a receive error.
    bool Fill() {
        uint8_t buffer[kChunk];
        for (int i = 0; i < 8 && !eof; ++i) {
            const int64_t n = net::Recv(fd, buffer, sizeof buffer);
            if (n > 0) {
                BIO_write(in, buffer, static_cast<int>(n));
                if (static_cast<size_t>(n) < sizeof buffer) return true;
                continue;
            }
            if (n == 0) {
                eof = true;
                return true;
            }
            const int error = net::LastError();
            if (net::Classify(error) == net::Error::WouldBlock) return true;
            failure = "receive error: " + net::ErrorText(error);
            return false;
        }
        return true;
    }
    // What OpenSSL wrote, out to the socket as far as it takes it. False on a send error.
    bool Flush() {
        uint8_t buffer[kChunk];
        for (int n; (n = BIO_read(out, buffer, sizeof buffer)) > 0;)
            pending.insert(pending.end(), buffer, buffer + n);
        while (pendingPos < pending.size()) {
            const int64_t sent =
                net::Send(fd, pending.data() + pendingPos, pending.size() - pendingPos);
            if (sent < 0) {
                const int error = net::LastError();
                if (net::Classify(error) == net::Error::WouldBlock) break;
                failure = "send error: " + net::ErrorText(error);
                return false;
            }
            pendingPos += static_cast<size_t>(sent);
        }
        if (pendingPos == pending.size()) {
            pending.clear();
            pendingPos = 0;
        }
        return true;
    }
    bool WantsWrite() const { return pendingPos < pending.size() || BIO_ctrl_pending(out) > 0; }
    size_t Held() const { return pending.size() - pendingPos; }

    // The reason of a failed call, with the certificate check's verdict where it failed.
    std::string Reason() {
        std::string why = OpenSslReason();
        const long verify = SSL_get_verify_result(ssl);
        if (verify != X509_V_OK) why += std::string(": ") + X509_verify_cert_error_string(verify);
        return why;
    }
};

// What a failed client handshake means, in words, with OpenSSL's own reason after it.
std::string ClientFailure(const std::string& reason) {
    struct Hint {
        const char* said;
        const char* meaning;
    };
    static const Hint kHints[] = {
        {"alert certificate required",
         "the proxy server requires a client certificate (--tls-cert FILE --tls-key FILE)"},
        {"alert unknown ca", "the proxy server does not trust the CA of this client's certificate"},
        {"alert certificate expired",
         "the proxy server refuses this client's certificate: expired"},
        {"alert bad certificate", "the proxy server refuses this client's certificate"},
        {"alert unsupported certificate", "the proxy server refuses this client's certificate"},
        {"certificate verify failed", "the proxy server's certificate does not pass the check"},
        {"closed the connection during the handshake",
         "the proxy server closed the connection (is it serving TLS there, is it full, or does "
         "its --allow not list this computer?)"},
    };
    for (const Hint& h : kHints)
        if (reason.find(h.said) != std::string::npos)
            return std::string(h.meaning) + " (" + reason + ")";
    return reason;
}

// Drives one handshake step: Done, Again (wait for the socket), Failed (failure set).
TlsServerSession::Io HandshakeStep(Pipe& p, const char* peerName) {
    using Io = TlsServerSession::Io;
    if (!p.Fill()) return Io::Failed;
    ERR_clear_error();
    const int r = SSL_do_handshake(p.ssl);
    const int e = r == 1 ? SSL_ERROR_NONE : SSL_get_error(p.ssl, r);
    std::string reason;
    if (e != SSL_ERROR_NONE && e != SSL_ERROR_WANT_READ) reason = p.Reason();
    // An alert that tells the peer why goes out before the connection is given up.
    if (!p.Flush()) return Io::Failed;
    if (e == SSL_ERROR_NONE) return Io::Done;
    if (e == SSL_ERROR_WANT_READ) {
        if (!p.eof) return Io::Again;
        p.failure = std::string("the ") + peerName + " closed the connection during the handshake";
        return Io::Failed;
    }
    p.failure = reason;
    return Io::Failed;
}

}  // namespace

// ---- server ---------------------------------------------------------------------------------

class TlsServerContext {
public:
    explicit TlsServerContext(CtxPtr ctx) : m_Ctx(std::move(ctx)) {}
    SSL_CTX* Get() const { return m_Ctx.get(); }

private:
    CtxPtr m_Ctx;
};

std::shared_ptr<TlsServerContext> MakeTlsServerContext(const TlsFiles& files, std::string& error) {
    CtxPtr ctx = NewContext(TLS_server_method(), error);
    if (!ctx) return nullptr;
    SSL_CTX* c = ctx.get();
    SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    if (!LoadIdentity(c, files, error)) return nullptr;
    if (!LoadCa(c, files.ca, error)) return nullptr;
    STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(files.ca.c_str());
    if (!names) {
        ERR_clear_error();
        error = "the client CA " + files.ca + " holds no certificate";
        return nullptr;
    }
    SSL_CTX_set_client_CA_list(c, names);
    SSL_CTX_set_purpose(c, X509_PURPOSE_SSL_CLIENT);
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
    static const unsigned char kSessionContext[] = "jvo-proxy";
    SSL_CTX_set_session_id_context(c, kSessionContext, sizeof kSessionContext - 1);
    // The client takes the ticket that follows the handshake as the sign that its certificate
    // was accepted (TLS 1.3 judges it only after the client's side of the handshake is done).
    SSL_CTX_set_num_tickets(c, 1);
    return std::make_shared<TlsServerContext>(std::move(ctx));
}

struct TlsServerSession::Impl {
    std::shared_ptr<TlsServerContext> ctx;
    Pipe pipe;
    std::string subject;
};

TlsServerSession::TlsServerSession(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl)) {}
TlsServerSession::~TlsServerSession() = default;

std::unique_ptr<TlsServerSession> TlsServerSession::Start(
    const std::shared_ptr<TlsServerContext>& ctx, NativeSocket socket) {
    if (!ctx) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->ctx = ctx;
    if (!impl->pipe.Init(ctx->Get(), socket)) return nullptr;
    SSL_set_accept_state(impl->pipe.ssl);
    return std::unique_ptr<TlsServerSession>(new TlsServerSession(std::move(impl)));
}

TlsServerSession::Io TlsServerSession::Handshake() {
    Pipe& p = m_Impl->pipe;
    const Io io = HandshakeStep(p, "client");
    if (io != Io::Done) return io;
    if (X509* cert = SSL_get1_peer_certificate(p.ssl)) {
        BIO* text = BIO_new(BIO_s_mem());
        X509_NAME_print_ex(text, X509_get_subject_name(cert), 0, XN_FLAG_RFC2253);
        char* data = nullptr;
        const long n = BIO_get_mem_data(text, &data);
        m_Impl->subject.assign(data, static_cast<size_t>(n > 0 ? n : 0));
        BIO_free(text);
        X509_free(cert);
    }
    return io;
}

int64_t TlsServerSession::Read(void* buffer, size_t capacity, Io& io) {
    Pipe& p = m_Impl->pipe;
    if (!p.Fill()) {
        io = Io::Failed;
        return -1;
    }
    ERR_clear_error();
    size_t got = 0;
    const int r = SSL_read_ex(p.ssl, buffer, capacity, &got);
    if (r == 1) {
        io = Io::Done;
        return static_cast<int64_t>(got);
    }
    const int e = SSL_get_error(p.ssl, r);
    if (e == SSL_ERROR_WANT_READ) {
        io = p.eof ? Io::Closed : Io::Again;
    } else if (e == SSL_ERROR_ZERO_RETURN) {
        io = Io::Closed;
    } else {
        p.failure = p.Reason();
        io = Io::Failed;
    }
    if (!p.Flush() && io == Io::Again) io = Io::Failed;
    return -1;
}

int64_t TlsServerSession::Write(const void* data, size_t count, Io& io) {
    Pipe& p = m_Impl->pipe;
    io = Flush();
    if (io == Io::Failed) return -1;
    if (p.Held() >= kMaxHeld) {
        io = Io::Again;
        return -1;
    }
    ERR_clear_error();
    size_t written = 0;
    if (SSL_write_ex(p.ssl, data, count, &written) != 1) {
        p.failure = p.Reason();
        io = Io::Failed;
        return -1;
    }
    io = Flush();
    return io == Io::Failed ? -1 : static_cast<int64_t>(written);
}

TlsServerSession::Io TlsServerSession::Flush() {
    return m_Impl->pipe.Flush() ? Io::Done : Io::Failed;
}

bool TlsServerSession::WantsWrite() const {
    return m_Impl->pipe.WantsWrite();
}

bool TlsServerSession::Buffered() const {
    const Pipe& p = m_Impl->pipe;
    if (SSL_pending(p.ssl) > 0) return true;
    // A whole record taken from the socket but not decrypted yet; part of one is not enough (the
    // rest comes with the socket's next readiness).
    char* data = nullptr;
    const long have = BIO_get_mem_data(p.in, &data);
    constexpr long kRecordHeader = 5;  // type, version, length
    if (have < kRecordHeader || !data) return false;
    const long length = (static_cast<uint8_t>(data[3]) << 8) | static_cast<uint8_t>(data[4]);
    return have >= kRecordHeader + length;
}

const std::string& TlsServerSession::Failure() const {
    return m_Impl->pipe.failure;
}

const std::string& TlsServerSession::Subject() const {
    return m_Impl->subject;
}

// ---- client ---------------------------------------------------------------------------------

namespace {

// Marks the session as accepted by the server: the server sends its ticket only after it has
// checked the client's certificate.
int NoteTicket(SSL* ssl, SSL_SESSION*) {
    if (auto* accepted = static_cast<bool*>(SSL_get_app_data(ssl))) *accepted = true;
    return 0;  // the session is not kept
}

using Clock = std::chrono::steady_clock;

int32_t LeftMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int32_t>(left) : 0;
}

// Waits for the pipe's socket: readable, or writable while encrypted bytes wait.
bool WaitSocket(Pipe& p, int32_t waitMs) {
    SocketPoller poller;
    poller.AddSocket(p.fd, true, p.WantsWrite());
    return poller.Wait(waitMs) > 0;
}

}  // namespace

struct TlsClientTunnel::Impl {
    CtxPtr ctx{nullptr, &SSL_CTX_free};
    SocketHandle tcp;
    Pipe pipe;
    bool accepted = false;
    SocketHandle plain;            // the tunnel's end of the pair
    std::vector<uint8_t> toPlain;  // decrypted, not yet written to the pair
    size_t toPlainPos = 0;
    SyncEvent stop{SyncEvent::Reset::Manual};
    std::thread thread;
    mutable std::mutex lock;
    std::string endReason;  // guarded by lock

    void End(const std::string& why) {
        std::lock_guard<std::mutex> guard(lock);
        if (endReason.empty()) endReason = why;
    }
    // Decrypted bytes into toPlain: false when the session ended.
    bool ReadTls() {
        uint8_t buffer[kChunk];
        while (toPlain.size() < kMaxHeld) {
            ERR_clear_error();
            size_t got = 0;
            const int r = SSL_read_ex(pipe.ssl, buffer, sizeof buffer, &got);
            if (r == 1) {
                toPlain.insert(toPlain.end(), buffer, buffer + got);
                continue;
            }
            const int e = SSL_get_error(pipe.ssl, r);
            if (e == SSL_ERROR_WANT_READ) {
                if (!pipe.eof) return true;
                End("the proxy server closed the connection");
                return false;
            }
            if (e == SSL_ERROR_ZERO_RETURN) {
                End("the proxy server closed the TLS session");
                return false;
            }
            End(pipe.Reason());
            return false;
        }
        return true;
    }
    void Run();
};

void TlsClientTunnel::Impl::Run() {
    uint8_t buffer[kChunk];
    for (;;) {
        if (!pipe.Fill()) {
            End(pipe.failure);
            break;
        }
        if (!ReadTls()) break;
        while (toPlainPos < toPlain.size()) {
            const int64_t n =
                net::Send(plain.Get(), toPlain.data() + toPlainPos, toPlain.size() - toPlainPos);
            if (n < 0) break;  // full for now, or gone (seen as the end when read below)
            toPlainPos += static_cast<size_t>(n);
        }
        if (toPlainPos == toPlain.size()) {
            toPlain.clear();
            toPlainPos = 0;
        }
        bool plainEnded = false;
        while (pipe.Held() < kMaxHeld) {
            const int64_t n = net::Recv(plain.Get(), buffer, sizeof buffer);
            if (n == 0 || (n < 0 && net::Classify(net::LastError()) != net::Error::WouldBlock)) {
                plainEnded = true;
                break;
            }
            if (n < 0) break;
            size_t written = 0;
            ERR_clear_error();
            if (SSL_write_ex(pipe.ssl, buffer, static_cast<size_t>(n), &written) != 1) {
                End(pipe.Reason());
                plainEnded = true;
                break;
            }
            if (!pipe.Flush()) break;
        }
        if (plainEnded) {
            SSL_shutdown(pipe.ssl);  // close_notify, best effort
            pipe.Flush();
            break;
        }
        if (!pipe.Flush()) {
            End(pipe.failure);
            break;
        }
        SocketPoller poller;
        poller.AddSocket(tcp.Get(), toPlain.size() < kMaxHeld, pipe.WantsWrite());
        poller.AddSocket(plain.Get(), pipe.Held() < kMaxHeld, !toPlain.empty());
        const size_t stopped = poller.AddEvent(stop);
        if (poller.Wait(kWaitForever) < 0 || poller.IsSet(stopped)) break;
    }
    plain.Reset();  // the link's socket sees the end of the stream
}

TlsClientTunnel::TlsClientTunnel(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl)) {}

TlsClientTunnel::~TlsClientTunnel() {
    Stop();
}

void TlsClientTunnel::Stop() {
    m_Impl->stop.Set();
    if (m_Impl->thread.joinable() && m_Impl->thread.get_id() != std::this_thread::get_id())
        m_Impl->thread.join();
}

std::string TlsClientTunnel::EndReason() const {
    std::lock_guard<std::mutex> guard(m_Impl->lock);
    return m_Impl->endReason;
}

std::shared_ptr<TlsClientTunnel> TlsClientTunnel::Open(SocketHandle tcp, const std::string& host,
                                                       const TlsFiles& files, int32_t timeoutMs,
                                                       SocketHandle& plain, std::string& error) {
    if (files.ca.empty()) {
        error = "tls:// needs the CA that signs the server's certificate (--tls-ca FILE)";
        return nullptr;
    }
    if (files.cert.empty() != files.key.empty()) {
        error = "a client certificate needs both --tls-cert FILE and --tls-key FILE";
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->ctx = NewContext(TLS_client_method(), error);
    SSL_CTX* c = impl->ctx.get();
    if (!c || !LoadCa(c, files.ca, error)) return nullptr;
    if (!files.cert.empty() && !LoadIdentity(c, files, error)) return nullptr;
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_session_cache_mode(c, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(c, &NoteTicket);
    impl->tcp = std::move(tcp);
    Pipe& p = impl->pipe;
    if (!p.Init(c, impl->tcp.Get())) {
        error = "cannot set up TLS: " + OpenSslReason();
        return nullptr;
    }
    SSL_set_app_data(p.ssl, &impl->accepted);
    SSL_set_connect_state(p.ssl);
    const std::string name = host == "." ? "127.0.0.1" : host;
    uint32_t ip = 0;
    if (ParseIpv4(name, ip)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(p.ssl), name.c_str());
    } else {
        SSL_set_tlsext_host_name(p.ssl, name.c_str());
        SSL_set1_host(p.ssl, name.c_str());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const TlsServerSession::Io io = HandshakeStep(p, "proxy server");
        if (io == TlsServerSession::Io::Done) break;
        if (io == TlsServerSession::Io::Failed) {
            error = ClientFailure(p.failure);
            return nullptr;
        }
        if (LeftMs(deadline) == 0) {
            error = "no handshake within the time-out (is the proxy server serving TLS there?)";
            return nullptr;
        }
        WaitSocket(p, LeftMs(deadline));
    }
    // The server judges the client's certificate now: its ticket says yes, an alert says no.
    while (!impl->accepted && impl->toPlain.empty()) {
        if (!p.Fill()) {
            error = p.failure;
            return nullptr;
        }
        if (!impl->ReadTls()) {
            error = ClientFailure(impl->endReason);
            return nullptr;
        }
        if (impl->accepted || !impl->toPlain.empty()) break;
        if (LeftMs(deadline) == 0) break;  // a server that sends no ticket: carry on
        WaitSocket(p, LeftMs(deadline));
    }
    SocketHandle mine;
    if (!net::StreamPair(plain, mine)) {
        error = "cannot make the TLS tunnel: " + net::ErrorText(net::LastError());
        return nullptr;
    }
    impl->plain = std::move(mine);
    auto tunnel = std::make_shared<TlsClientTunnel>(std::move(impl));
    Impl* run = tunnel->m_Impl.get();
    run->thread = std::thread([run] {
        NameThisThread("TlsTunnel");
        run->Run();
    });
    return tunnel;
}

}  // namespace jvo
