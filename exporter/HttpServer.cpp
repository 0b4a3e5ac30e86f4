#include "exporter/HttpServer.h"

#include <event2/buffer.h>
#include <event2/bufferevent.h>
#include <event2/bufferevent_ssl.h>
#include <event2/event.h>
#include <event2/http.h>
#include <event2/keyvalq_struct.h>
#include <event2/thread.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <sys/socket.h>

#include <memory>

#include "base/CmdLine.h"
#include "exporter/Gzip.h"
#include "link/OpenProblems.h"

namespace jvo::exporter {

namespace {

constexpr size_t kMaxSingleWrite = 1 << 20;

constexpr ev_ssize_t kMaxHeaderBytes = 8192;
constexpr ev_ssize_t kMaxBodyBytes = 4096;

const char* MethodName(evhttp_cmd_type type) {
    switch (type) {
        case EVHTTP_REQ_GET:
            return "GET";
        case EVHTTP_REQ_HEAD:
            return "HEAD";
        case EVHTTP_REQ_POST:
            return "POST";
        case EVHTTP_REQ_PUT:
            return "PUT";
        case EVHTTP_REQ_DELETE:
            return "DELETE";
        case EVHTTP_REQ_OPTIONS:
            return "OPTIONS";
        case EVHTTP_REQ_TRACE:
            return "TRACE";
        case EVHTTP_REQ_CONNECT:
            return "CONNECT";
        case EVHTTP_REQ_PATCH:
            return "PATCH";
    }
    return "?";
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        default:
            return "Internal Server Error";
    }
}

}  // namespace

HttpServer::HttpServer(HttpHandler handler, HttpTimings timings)
    : m_Handler(std::move(handler)), m_Timings(timings) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Start(const std::string& address, uint16_t port, ServerTls tls,
                       std::string& error) {
    if (m_Thread.joinable()) return true;
    // libevent's locking, so that Stop() can wake the loop from another thread.
    static const int threads = evthread_use_pthreads();
    // A peer that goes away while its answer is being written must not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    SetTls(std::move(tls));
    m_Base = event_base_new();
    m_Http = m_Base ? evhttp_new(m_Base) : nullptr;
    m_StopEvent = m_Base ? event_new(m_Base, -1, 0, &HttpServer::OnStop, m_Base) : nullptr;
    if (threads != 0 || !m_Http || !m_StopEvent) {
        Stop();
        error = "cannot set up the HTTP server";
        return false;
    }
    const timeval idle{m_Timings.idleMs / 1000, (m_Timings.idleMs % 1000) * 1000};
    evhttp_set_timeout_tv(m_Http, &idle);
    evhttp_set_max_headers_size(m_Http, kMaxHeaderBytes);
    evhttp_set_max_body_size(m_Http, kMaxBodyBytes);
    // Every method reaches the handler, which answers 405 where it must.
    evhttp_set_allowed_methods(m_Http, EVHTTP_REQ_GET | EVHTTP_REQ_POST | EVHTTP_REQ_HEAD |
                                           EVHTTP_REQ_PUT | EVHTTP_REQ_DELETE | EVHTTP_REQ_OPTIONS |
                                           EVHTTP_REQ_TRACE | EVHTTP_REQ_CONNECT |
                                           EVHTTP_REQ_PATCH);
    evhttp_set_gencb(m_Http, &HttpServer::OnRequest, this);
    evhttp_set_bevcb(m_Http, &HttpServer::MakeConnection, this);
    evhttp_bound_socket* bound = evhttp_bind_socket_with_handle(m_Http, address.c_str(), port);
    sockaddr_storage sa{};
    socklen_t length = sizeof sa;
    if (!bound || ::getsockname(evhttp_bound_socket_get_fd(bound), reinterpret_cast<sockaddr*>(&sa),
                                &length) != 0) {
        Stop();
        error = cmdline::ListenFailure(address, port);
        return false;
    }
    m_Port = ntohs(sa.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&sa)->sin6_port
                                            : reinterpret_cast<sockaddr_in*>(&sa)->sin_port);
    m_Thread = std::thread([base = m_Base] { event_base_loop(base, EVLOOP_NO_EXIT_ON_EMPTY); });
    return true;
}

void HttpServer::Stop() {
    if (m_Thread.joinable()) {
        // An activated event is kept until the loop runs it, even before the loop has started.
        event_active(m_StopEvent, EV_READ, 0);
        m_Thread.join();
    }
    if (m_Http) evhttp_free(m_Http);
    if (m_StopEvent) event_free(m_StopEvent);
    if (m_Base) event_base_free(m_Base);
    m_Http = nullptr;
    m_StopEvent = nullptr;
    m_Base = nullptr;
}

void HttpServer::SetTls(ServerTls tls) {
    std::lock_guard<std::mutex> lock(m_TlsLock);
    m_Tls = std::move(tls);
}

ServerTls HttpServer::CurrentTls() {
    std::lock_guard<std::mutex> lock(m_TlsLock);
    return m_Tls;
}

void HttpServer::OnStop(int, short, void* base) {
    event_base_loopbreak(static_cast<event_base*>(base));
}

bufferevent* HttpServer::MakeConnection(event_base* base, void* self) {
    const ServerTls tls = static_cast<HttpServer*>(self)->CurrentTls();
    // The SSL object holds its own reference to the context: a reload does not pull it away.
    if (SSL* ssl = tls ? SSL_new(tls.get()) : nullptr) {
        if (bufferevent* bev = bufferevent_openssl_socket_new(
                base, -1, ssl, BUFFEREVENT_SSL_ACCEPTING, BEV_OPT_CLOSE_ON_FREE))
            return bev;
        SSL_free(ssl);
    }
    // Plain HTTP; with TLS configured such a connection is refused in OnRequest.
    bufferevent* bev = bufferevent_socket_new(base, -1, BEV_OPT_CLOSE_ON_FREE);
    // A site's text is megabytes: libevent's 16 KiB a write would cost a wake-up of the loop
    // and a system call for each piece.
    if (bev) bufferevent_set_max_single_write(bev, kMaxSingleWrite);
    return bev;
}

void HttpServer::OnRequest(evhttp_request* req, void* self) {
    auto* server = static_cast<HttpServer*>(self);
    evhttp_connection* connection = evhttp_request_get_connection(req);
    bufferevent* bev = connection ? evhttp_connection_get_bufferevent(connection) : nullptr;
    const bool overTls = bev && bufferevent_openssl_get_ssl(bev);
    evkeyvalq* in = evhttp_request_get_input_headers(req);
    evkeyvalq* out = evhttp_request_get_output_headers(req);

    HttpResponse response;
    if (!overTls && server->CurrentTls()) {
        response.m_Status = 400;
        response.m_Body = "This server speaks TLS only.\n";
        evhttp_add_header(out, "Connection", "close");
    } else {
        HttpRequest request;
        request.m_Method = MethodName(evhttp_request_get_command(req));
        const evhttp_uri* uri = evhttp_request_get_evhttp_uri(req);
        const char* path = uri ? evhttp_uri_get_path(uri) : nullptr;
        request.m_Path = path ? path : "";
        request.m_Authorization = evhttp_find_header(in, "Authorization");
        request.m_AcceptsGzip = AcceptsGzip(evhttp_find_header(in, "Accept-Encoding"));
        response = server->m_Handler(request);
    }
    evhttp_add_header(out, "Content-Type", response.m_ContentType.c_str());
    for (const auto& [name, value] : response.m_Headers)
        evhttp_add_header(out, name.c_str(), value.c_str());
    std::shared_ptr<const std::string> body =
        response.m_Shared ? response.m_Shared
                          : std::make_shared<const std::string>(std::move(response.m_Body));
    if (response.m_SharedIsGzip) {
        evhttp_add_header(out, "Vary", "Accept-Encoding");
        evhttp_add_header(out, "Content-Encoding", "gzip");
    } else if (body->size() >= kGzipFrom) {
        evhttp_add_header(out, "Vary", "Accept-Encoding");
        std::string gzipped;
        if (AcceptsGzip(evhttp_find_header(in, "Accept-Encoding")) && Gzip(*body, gzipped)) {
            evhttp_add_header(out, "Content-Encoding", "gzip");
            body = std::make_shared<const std::string>(std::move(gzipped));
        }
    }
    std::unique_ptr<evbuffer, void (*)(evbuffer*)> buffer(evbuffer_new(), &evbuffer_free);
    // HEAD gets the headers alone (libevent would send the body along). The buffer refers to the
    // body, which it keeps until it is sent.
    if (buffer && evhttp_request_get_command(req) != EVHTTP_REQ_HEAD && !body->empty()) {
        auto* keep = new std::shared_ptr<const std::string>(body);
        const auto release = [](const void*, size_t, void* kept) {
            delete static_cast<std::shared_ptr<const std::string>*>(kept);
        };
        if (evbuffer_add_reference(buffer.get(), body->data(), body->size(), release, keep) != 0)
            delete keep;
    }
    evhttp_send_reply(req, response.m_Status, Reason(response.m_Status), buffer.get());
}

}  // namespace jvo::exporter
