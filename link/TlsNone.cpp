// A build without OpenSSL (the Windows build): the proxy path has no TLS, and says so.
#include "link/Tls.h"

namespace jvo {

bool TlsAvailable() {
    return false;
}

std::string TlsUnavailableReason() {
    return "this build has no TLS (it was built without OpenSSL): use the plain proxy path";
}

class TlsServerContext {};

std::shared_ptr<TlsServerContext> MakeTlsServerContext(const TlsFiles&, std::string& error) {
    error = TlsUnavailableReason();
    return nullptr;
}

struct TlsServerSession::Impl {
    std::string none;
};

TlsServerSession::TlsServerSession(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl)) {}
TlsServerSession::~TlsServerSession() = default;

std::unique_ptr<TlsServerSession> TlsServerSession::Start(const std::shared_ptr<TlsServerContext>&,
                                                          NativeSocket) {
    return nullptr;
}

TlsServerSession::Io TlsServerSession::Handshake() {
    return Io::Failed;
}

int64_t TlsServerSession::Read(void*, size_t, Io& io) {
    io = Io::Failed;
    return -1;
}

int64_t TlsServerSession::Write(const void*, size_t, Io& io) {
    io = Io::Failed;
    return -1;
}

TlsServerSession::Io TlsServerSession::Flush() {
    return Io::Failed;
}

bool TlsServerSession::WantsWrite() const {
    return false;
}

bool TlsServerSession::Buffered() const {
    return false;
}

const std::string& TlsServerSession::Failure() const {
    return m_Impl->none;
}

const std::string& TlsServerSession::Subject() const {
    return m_Impl->none;
}

struct TlsClientTunnel::Impl {};

TlsClientTunnel::TlsClientTunnel(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl)) {}
TlsClientTunnel::~TlsClientTunnel() = default;

std::shared_ptr<TlsClientTunnel> TlsClientTunnel::Open(SocketHandle, const std::string&,
                                                       const TlsFiles&, int32_t, SocketHandle&,
                                                       std::string& error) {
    error = TlsUnavailableReason();
    return nullptr;
}

std::string TlsClientTunnel::EndReason() const {
    return std::string();
}

void TlsClientTunnel::Stop() {}

}  // namespace jvo
