#pragma once
// The exporter's HTTP server: libevent's HTTP server, over TLS through its OpenSSL bufferevents
// when a TLS context is set. One thread runs the event loop for every connection, so a client
// that connects and idles, or sends its request a byte at a time, holds only its socket and never
// a worker another client waits for; each connection must deliver its request header (and each
// further part of a request or answer) within the idle time-out, or it is closed. The handler runs
// on that thread and must not wait.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "exporter/ServerTls.h"

struct bufferevent;
struct event;
struct event_base;
struct evhttp;
struct evhttp_request;

namespace jvo::exporter {

struct HttpRequest {
    std::string m_Method;                   // "GET", "HEAD", "POST", ...
    std::string m_Path;                     // the path of the request target, without the query
    const char* m_Authorization = nullptr;  // the header's value, null when absent
    bool m_AcceptsGzip = false;             // the client takes a gzip-encoded body
};

struct HttpResponse {
    int m_Status = 200;
    std::string m_ContentType = "text/plain; charset=utf-8";
    std::string m_Body;  // not sent for HEAD
    // Instead of m_Body when set: a body shared with other answers (not copied), and whether it
    // is gzip-encoded already (for a request that takes that).
    std::shared_ptr<const std::string> m_Shared;
    bool m_SharedIsGzip = false;
    std::vector<std::pair<std::string, std::string>> m_Headers;
};

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

struct HttpTimings {
    int32_t idleMs = 3000;  // for the request header, and for each read or write after it
};

class HttpServer {
public:
    explicit HttpServer(HttpHandler handler, HttpTimings timings = {});
    // Stop().
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Listens on address:port (port 0: any free one) and starts the loop; `tls` null serves plain
    // HTTP. False with the reason in `error` (in words for the user).
    bool Start(const std::string& address, uint16_t port, ServerTls tls, std::string& error);
    // The context for connections accepted from now on (null: plain HTTP). Any thread.
    void SetTls(ServerTls tls);
    // Ends the loop and closes every connection; returns at once when nothing runs.
    void Stop();
    uint16_t Port() const { return m_Port; }

private:
    static bufferevent* MakeConnection(event_base* base, void* self);
    static void OnRequest(evhttp_request* req, void* self);
    static void OnStop(int, short, void* base);
    ServerTls CurrentTls();

    const HttpHandler m_Handler;
    const HttpTimings m_Timings;
    event_base* m_Base = nullptr;
    evhttp* m_Http = nullptr;
    event* m_StopEvent = nullptr;
    std::thread m_Thread;
    uint16_t m_Port = 0;
    std::mutex m_TlsLock;
    ServerTls m_Tls;
};

}  // namespace jvo::exporter
