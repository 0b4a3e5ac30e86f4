#include "proxy/ProxyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/FormatStr.h"
#include "base/Ipv4.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/ProxyWire.h"
#include "link/Socket.h"
#include "link/StreamReader.h"
#include "link/TcpBase.h"
#include "link/Threads.h"

namespace jvo {

namespace {

constexpr size_t kMaxQueuedRequests = 4;          // per client, beyond the one at the unit
constexpr size_t kMaxPendingOutput = 256 * 1024;  // unsent reply bytes per client
constexpr size_t kRecvChunk = 64 * 1024;
constexpr int kReadsPerWake = 16;
constexpr int32_t kAcceptPauseMs = 100;  // after running out of descriptors
constexpr int kListenBacklog = -1;       // the system's largest

// Sends a refusal to a client about to be closed. The socket is fresh and its send buffer empty,
// so the few bytes go at once or not at all; the client is not waited for.
void SendRefusal(const SocketHandle& s, ProxyRefusal reason, uint16_t limit) {
    const std::vector<uint8_t> body = proxywire::RefusalBody(reason, limit);
    uint8_t message[proxywire::kStreamHeaderSize + proxywire::kRefusalBodySize];
    proxywire::PutStreamHeader(message, static_cast<uint32_t>(body.size()));
    std::memcpy(message + proxywire::kStreamHeaderSize, body.data(), body.size());
    (void)net::Send(s.Get(), message, sizeof message);
}

std::string PeerName(uint32_t address, uint16_t port) {
    return FormatIpv4(address) + ":" + std::to_string(port);
}

}  // namespace

struct ProxyServer::Client {
    uint64_t id = 0;
    SocketHandle socket;
    std::string name;
    uint32_t peer = 0;
    std::unique_ptr<TlsServerSession> tls;  // null: plain
    bool handshaking = false;
    bool mayChange = true;
    std::string subject;  // the TLS client certificate's
    // Receiving: header, then the body (only its first kMaxRequestBody bytes are kept).
    StreamReader reader{static_cast<uint32_t>(proxywire::kMaxRequestBody), 256};
    // Complete request bodies waiting for the unit (an empty one stands for an oversized body),
    // and whether one of this client's requests is at the unit now.
    std::deque<std::vector<uint8_t>> requests;
    bool atUnit = false;
    // Output not yet sent.
    std::vector<uint8_t> out;
    size_t outPos = 0;
    uint64_t lastRecv = 0;      // last complete message (or keep-alive) from the client
    uint64_t lastSend = 0;      // last message queued to the client
    uint64_t lastProgress = 0;  // last time output moved (or output began to wait)
    uint64_t lastRequest = 0;   // last request (or the connect): who is idle when full
    uint64_t connectedAt = 0;
    uint64_t headerSince = 0;  // a header began then and is not complete; 0: none
    bool wasReading = true;
    bool dead = false;

    size_t PendingOutput() const { return out.size() - outPos; }
    bool WantsWrite() const { return PendingOutput() > 0 || (tls && tls->WantsWrite()); }
    // The client's name with its certificate subject, for log lines.
    std::string Who() const { return subject.empty() ? name : name + " (" + subject + ")"; }
};

ProxyServer::ProxyServer(IUnitBackend& backend, ProxyServerOptions options)
    : m_Backend(backend),
      m_Options(std::move(options)),
      m_Clock(m_Options.clock ? *m_Options.clock
                              : static_cast<const IClock&>(SystemClock::Instance())),
      m_RefusalLog(m_Options.refusalLogMs) {}

ProxyServer::~ProxyServer() {
    Stop();
}

int32_t ProxyServer::ReplyTimeoutFor(const uint8_t* payload, size_t length) const {
    if (length == 0) return m_Options.replyTimeoutMs;
    if (payload[0] == 42) return m_Options.commitTimeoutMs;
    if (payload[0] == 147) return m_Options.resetEnergyTimeoutMs;
    return m_Options.replyTimeoutMs;
}

namespace {

// A listening socket on address:port, with the port it got; invalid (logged) on failure.
SocketHandle ListenOn(const std::string& text, uint16_t port, uint16_t& bound) {
    const HostAddr address =
        TcpBase::GetHostAddr(text, [](const std::string&, uint32_t&) { return false; });
    int error = EINVAL;
    SocketHandle s;
    if (address.valid) {
        s = net::OpenStream();
        error = net::LastError();
    }
    if (s.Valid()) {
        error = net::Listen(s.Get(), address.addr, port, kListenBacklog);
        bound = error == 0 ? net::LocalPort(s.Get()) : 0;
        if (error == 0 && bound == 0) error = net::LastError();
        if (error != 0) s.Reset();
    }
    if (!s.Valid())
        JVO_LOG0("ProxyServer::Start() Cannot listen on %s:%d (error=%d)", text, port, error);
    return s;
}

}  // namespace

bool ProxyServer::Start() {
    if (m_Listen.Valid()) return false;
    SocketHandle s = ListenOn(m_Options.address, m_Options.port, m_Port);
    if (!s.Valid()) return false;
    if (!m_Options.plainAddress.empty()) {
        m_ListenPlain = ListenOn(m_Options.plainAddress, m_Options.plainPort, m_PlainPort);
        if (!m_ListenPlain.Valid()) return false;
    }
    m_Listen = std::move(s);
    m_Stopping = false;
    m_UnitThread = std::thread([this] {
        NameThisThread("ProxyUnit");
        UnitLoop();
    });
    m_LoopThread = std::thread([this] {
        NameThisThread("ProxyLoop");
        Loop();
    });
    JVO_LOG2("ProxyServer::Start() Listening on %s:%d%s", m_Options.address, m_Port,
             m_Options.tls ? " (TLS)" : "");
    if (m_ListenPlain.Valid())
        JVO_LOG2("ProxyServer::Start() Listening on %s:%d (plain)", m_Options.plainAddress,
                 m_PlainPort);
    return true;
}

void ProxyServer::Stop() {
    if (!m_Listen.Valid()) return;
    {
        std::lock_guard<std::mutex> guard(m_JobLock);
        m_Stopping = true;
        m_JobReady.notify_all();
    }
    m_Wake.Set();
    if (m_LoopThread.joinable()) m_LoopThread.join();
    // A transaction in progress may wait for a reply for seconds (a commit): it is broken off.
    m_Backend.Stop();
    if (m_UnitThread.joinable()) m_UnitThread.join();
    m_Listen.Reset();
    m_ListenPlain.Reset();
    m_Jobs.clear();
    m_Results.clear();
    UpdateStats();
}

ProxyServerStats ProxyServer::Stats() const {
    std::lock_guard<std::mutex> guard(m_StatsLock);
    return m_Stats;
}

void ProxyServer::UpdateStats() {
    size_t inBody = 0;
    size_t bytes = 0;
    for (const auto& c : m_Clients) {
        if (c->reader.InBody()) ++inBody;
        bytes += c->reader.Held() + c->out.capacity();
        for (const auto& r : c->requests)
            bytes += r.capacity();
    }
    std::lock_guard<std::mutex> guard(m_StatsLock);
    m_Stats.clients = m_Clients.size();
    m_Stats.bodiesInProgress = inBody;
    m_Stats.bufferedBytes = bytes;
}

bool ProxyServer::Reading(const Client& c) const {
    return c.requests.size() < kMaxQueuedRequests && c.PendingOutput() < kMaxPendingOutput;
}

void ProxyServer::Loop() {
    SocketPoller poller;
    std::vector<bool> reading;
    uint64_t acceptPausedUntil = 0;
    constexpr size_t kFirstClient = 3;  // listener, wake event, plain listener
    while (!m_Stopping) {
        const bool accepting = m_Clock.NowMs() >= acceptPausedUntil;
        poller.Clear();
        reading.clear();
        poller.AddSocket(accepting ? m_Listen.Get() : kNoSocket, true, false);
        poller.AddEvent(m_Wake);  // taken by the wait
        poller.AddSocket(accepting ? m_ListenPlain.Get() : kNoSocket, true, false);
        bool buffered = false;  // bytes are held that no socket wait would report
        for (const auto& c : m_Clients) {
            reading.push_back(c->handshaking || Reading(*c));
            poller.AddSocket(c->socket.Get(), reading.back(), c->WantsWrite());
            if (!c->handshaking && reading.back() && Held(*c)) buffered = true;
        }
        const int n = poller.Wait(buffered ? 0 : m_Options.tickMs);
        if (m_Stopping) break;
        if (n < 0) {
            JVO_LOG0("ProxyServer::Loop() poll() error (%d)", net::LastError());
            break;
        }
        TakeResults();
        const size_t polled = reading.size();
        for (size_t i = 0; i < polled; ++i) {
            Client& c = *m_Clients[i];
            const size_t entry = kFirstClient + i;
            const bool waiting = !c.handshaking && reading[i] && Held(c);
            if (c.dead || (!poller.Reported(entry) && !waiting)) continue;
            if (c.handshaking) {
                Handshake(c);
                continue;
            }
            const bool failed = poller.Failed(entry);
            if (poller.Readable(entry) || failed || waiting) {
                if (reading[i]) {
                    const bool received = Receive(c);
                    // Replies the unit gave at once go out now, not after another wait (those to
                    // what came before a fault that ends the client too).
                    const bool pending = c.PendingOutput() > 0;
                    if (pending && !Flush(c))
                        c.dead = true;
                    else if (!received)
                        c.dead = true;
                    else if (pending)
                        Submit(c);
                } else if (failed) {
                    c.dead = true;  // gone while we were not reading from it
                }
            }
            if (!c.dead && c.WantsWrite() && (poller.Writable(entry) || failed)) {
                if (Flush(c))
                    Submit(c);  // room for replies again
                else
                    c.dead = true;
            }
        }
        if (n > 0 && accepting) {
            if (poller.Readable(0)) Accept(m_Listen.Get(), m_Options.tls != nullptr);
            if (poller.Readable(2)) Accept(m_ListenPlain.Get(), false);
            if (m_Clock.NowMs() < acceptPausedUntil) acceptPausedUntil = 0;  // clock went back
        }
        const uint64_t now = m_Clock.NowMs();
        const uint64_t headerLimit = static_cast<uint64_t>(m_Options.headerLimitMs);
        for (auto& cp : m_Clients) {
            Client& c = *cp;
            if (c.dead) continue;
            if (c.handshaking) {
                if (now - c.connectedAt > headerLimit) {
                    Refuse(c.peer, ProxyRefusal::None,
                           FormatStr("client %s did not finish the TLS handshake within %d ms",
                                     c.name, m_Options.headerLimitMs));
                    c.dead = true;
                }
                continue;
            }
            const bool reading = Reading(c);
            if (reading && !c.wasReading) c.lastRecv = now;  // its silence counts from now
            c.wasReading = reading;
            const uint64_t idle = static_cast<uint64_t>(m_Options.idleLimitMs);
            if (c.headerSince != 0 && now - c.headerSince > headerLimit) {
                JVO_LOG1("ProxyServer: client %s did not finish a message header within %d ms",
                         c.name, m_Options.headerLimitMs);
                c.dead = true;
            } else if (reading && now - c.lastRecv > idle) {
                JVO_LOG1("ProxyServer: client %s sent nothing for %d ms", c.name,
                         m_Options.idleLimitMs);
                c.dead = true;
            } else if (c.PendingOutput() > 0 && now - c.lastProgress > idle) {
                JVO_LOG1("ProxyServer: client %s took no reply for %d ms", c.name,
                         m_Options.idleLimitMs);
                c.dead = true;
            } else if (c.PendingOutput() == 0 &&
                       now - c.lastSend >= static_cast<uint64_t>(m_Options.keepAliveMs)) {
                QueueMessage(c, nullptr, 0);
                if (!Flush(c)) c.dead = true;
            }
        }
        for (auto& cp : m_Clients)
            if (cp->dead) Drop(*cp, true);
        m_Clients.erase(std::remove_if(m_Clients.begin(), m_Clients.end(),
                                       [](const std::unique_ptr<Client>& c) { return c->dead; }),
                        m_Clients.end());
        if (m_AcceptFailed) {
            acceptPausedUntil = now + kAcceptPauseMs;
            m_AcceptFailed = false;
        }
        UpdateStats();
    }
    for (auto& cp : m_Clients)
        Drop(*cp, false);
    m_Clients.clear();
}

void ProxyServer::Refuse(uint32_t peer, ProxyRefusal reason, const std::string& text) {
    {
        std::lock_guard<std::mutex> guard(m_StatsLock);
        ++m_Stats.refused;
    }
    uint32_t unlogged = 0;
    if (!m_RefusalLog.ShouldLog(peer, static_cast<uint8_t>(reason), m_Clock.NowMs(), unlogged))
        return;
    if (unlogged > 0) {
        JVO_LOG1("ProxyServer: %s (and %u more like it from %s unlogged since the last note)", text,
                 unlogged, FormatIpv4(peer));
    } else {
        JVO_LOG1("ProxyServer: %s", text);
    }
}

bool ProxyServer::MakeRoom(const std::string& newcomer) {
    const uint64_t now = m_Clock.NowMs();
    auto idlest = m_Clients.end();
    for (auto it = m_Clients.begin(); it != m_Clients.end(); ++it) {
        const Client& c = **it;
        if (c.dead || c.handshaking || c.atUnit || !c.requests.empty() || c.WantsWrite()) continue;
        if (now - c.lastRequest < static_cast<uint64_t>(m_Options.evictIdleMs)) continue;
        if (idlest == m_Clients.end() || c.lastRequest < (*idlest)->lastRequest) idlest = it;
    }
    if (idlest == m_Clients.end()) return false;
    Client& c = **idlest;
    JVO_LOG1("ProxyServer: client %s sent no request for %u ms: closed to make room for %s", c.name,
             static_cast<unsigned>(now - c.lastRequest), newcomer);
    {
        std::lock_guard<std::mutex> guard(m_StatsLock);
        ++m_Stats.evicted;
    }
    Drop(c, true);
    m_Clients.erase(idlest);
    return true;
}

bool ProxyServer::MayChange(const Client& c) const {
    if (m_Options.readOnly) return false;
    if (!m_Options.writers) return true;
    return c.tls && m_Options.writers->count(c.subject) > 0;
}

void ProxyServer::Handshake(Client& c) {
    const TlsServerSession::Io io = c.tls->Handshake();
    if (io == TlsServerSession::Io::Again) return;
    if (io != TlsServerSession::Io::Done) {
        const std::string why =
            c.tls->Failure().empty() ? "the client closed the connection" : c.tls->Failure();
        Refuse(c.peer, ProxyRefusal::None,
               FormatStr("TLS handshake with %s failed: %s", c.name, why));
        c.dead = true;
        return;
    }
    c.handshaking = false;
    c.subject = c.tls->Subject();
    c.mayChange = MayChange(c);
    c.lastRecv = m_Clock.NowMs();  // its silence counts from now
    JVO_LOG2("ProxyServer: client %s connected over TLS%s", c.Who(),
             c.mayChange ? "" : " (read-only)");
}

void ProxyServer::Accept(NativeSocket listener, bool tls) {
    for (;;) {
        uint32_t peer = 0;
        uint16_t peerPort = 0;
        int error = 0;
        SocketHandle s = net::Accept(listener, peer, peerPort, error);
        if (!s.Valid()) {
            const net::Error why = net::Classify(error);
            if (why == net::Error::Aborted) continue;
            if (why == net::Error::OutOfResources) {
                JVO_LOG1("ProxyServer::Accept() Cannot accept (error=%d)", error);
                m_AcceptFailed = true;
            }
            return;
        }
        const std::string name = PeerName(peer, peerPort);
        // A TLS client cannot read a refusal before its handshake: it is closed without one.
        if (!m_Options.allow.empty() &&
            std::none_of(m_Options.allow.begin(), m_Options.allow.end(),
                         [peer](const AllowedNet& n) { return n.Contains(peer); })) {
            Refuse(peer, ProxyRefusal::NotAllowed,
                   FormatStr("refusing %s: not an allowed address", name));
            if (!tls) SendRefusal(s, ProxyRefusal::NotAllowed, 0);
            continue;  // closed by the handle
        }
        if (m_Clients.size() >= static_cast<size_t>(m_Options.maxClients) && !MakeRoom(name)) {
            Refuse(peer, ProxyRefusal::Full,
                   FormatStr("too many clients, refusing %s (%d, none idle)", name,
                             m_Options.maxClients));
            if (!tls)
                SendRefusal(s, ProxyRefusal::Full,
                            static_cast<uint16_t>(std::min(m_Options.maxClients, 0xFFFF)));
            continue;  // closed by the handle
        }
        net::SetNoDelay(s.Get());
        auto c = std::make_unique<Client>();
        c->id = m_NextClientId++;
        c->socket = std::move(s);
        c->name = name;
        c->peer = peer;
        c->lastRecv = c->lastSend = c->lastProgress = c->lastRequest = c->connectedAt =
            m_Clock.NowMs();
        if (tls) {
            c->tls = TlsServerSession::Start(m_Options.tls, c->socket.Get());
            if (!c->tls) {
                JVO_LOG1("ProxyServer: cannot start TLS for %s", name);
                continue;
            }
            c->handshaking = true;
            JVO_LOG2("ProxyServer: client %s connected, TLS handshake", c->name);
        } else {
            c->mayChange = MayChange(*c);
            JVO_LOG2("ProxyServer: client %s connected%s", c->name,
                     c->mayChange ? "" : " (read-only)");
        }
        m_Clients.push_back(std::move(c));
    }
}

int64_t ProxyServer::ReadClient(Client& c, uint8_t* into, size_t want) {
    if (c.tls) {
        TlsServerSession::Io io = TlsServerSession::Io::Done;
        const int64_t got = c.tls->Read(into, want, io);
        if (got > 0) return got;
        if (io == TlsServerSession::Io::Again) return -1;
        if (io == TlsServerSession::Io::Closed) return 0;
        JVO_LOG2("ProxyServer: client %s TLS error: %s", c.name, c.tls->Failure());
        return -2;
    }
    const int64_t got = net::Recv(c.socket.Get(), into, want);
    if (got >= 0) return got;
    const int error = net::LastError();
    if (net::Classify(error) == net::Error::WouldBlock) return -1;
    JVO_LOG2("ProxyServer: client %s receive error (%d)", c.name, error);
    return -2;
}

int64_t ProxyServer::WriteClient(Client& c, const uint8_t* data, size_t count) {
    if (c.tls) {
        TlsServerSession::Io io = TlsServerSession::Io::Done;
        const int64_t sent = c.tls->Write(data, count, io);
        if (sent >= 0) return sent;
        if (io == TlsServerSession::Io::Again) return -1;
        JVO_LOG2("ProxyServer: client %s TLS error: %s", c.name, c.tls->Failure());
        return -2;
    }
    const int64_t sent = net::Send(c.socket.Get(), data, count);
    if (sent >= 0) return sent;
    const int error = net::LastError();
    if (net::Classify(error) == net::Error::WouldBlock) return -1;
    JVO_LOG2("ProxyServer: client %s send error (%d)", c.name, error);
    return -2;
}

bool ProxyServer::Held(const Client& c) {
    return c.reader.HasPending() || (c.tls && c.tls->Buffered());
}

bool ProxyServer::Receive(Client& c) {
    // One read takes whatever has arrived (a request's header and body come in one); what
    // follows a request that fills the client's queue waits in the reader, so that the client
    // stops being read once it has enough waiting.
    if (c.reader.HasPending() && !Consume(c)) return false;
    uint8_t chunk[kRecvChunk];
    for (int i = 0; i < kReadsPerWake && Reading(c) && !c.reader.HasPending(); ++i) {
        const int64_t got = ReadClient(c, chunk, sizeof chunk);
        if (got == -1) return true;
        if (got < 0) return false;
        if (got == 0) {
            JVO_LOG2("ProxyServer: client %s closed the connection", c.name);
            return false;
        }
        c.reader.Append(chunk, static_cast<size_t>(got));
        if (!Consume(c)) return false;
        // TLS hands out one record at a time: a short read says nothing about what follows.
        if (!c.tls && static_cast<size_t>(got) < sizeof chunk) return true;  // nothing more now
    }
    return true;
}

bool ProxyServer::Consume(Client& c) {
    bool ok = true;
    while (ok && Reading(c)) {
        const StreamReader::Event event = c.reader.Next();
        if (event == StreamReader::Event::None) break;
        ok = Take(c, event);
    }
    const bool partialHeader =
        !c.reader.InBody() && c.reader.Remaining() < StreamReader::kHeaderSize;
    if (!partialHeader)
        c.headerSince = 0;
    else if (c.headerSince == 0)
        c.headerSince = m_Clock.NowMs();
    return ok;
}

bool ProxyServer::Take(Client& c, StreamReader::Event event) {
    switch (event) {
        case StreamReader::Event::None:
            return true;
        case StreamReader::Event::KeepAlive:
            c.lastRecv = m_Clock.NowMs();
            return true;
        case StreamReader::Event::BadMarker:
            JVO_LOG1("ProxyServer: client %s sent a bad STREAM marker (0x%08x)", c.name,
                     c.reader.Marker());
            return false;
        case StreamReader::Event::BadLength:
            JVO_LOG1("ProxyServer: client %s sent an illegal length (%u)", c.name,
                     c.reader.Length());
            return false;
        case StreamReader::Event::Message:
            break;
    }
    c.lastRecv = c.lastRequest = m_Clock.NowMs();
    std::unique_ptr<uint8_t[]> kept = c.reader.TakeBody();
    std::vector<uint8_t> body;
    // A body longer than kMaxRequestBody can never be well formed: it stays empty.
    if (c.reader.Length() <= proxywire::kMaxRequestBody && kept)
        body.assign(kept.get(), kept.get() + c.reader.KeptLength());
    c.requests.push_back(std::move(body));
    {
        std::lock_guard<std::mutex> guard(m_StatsLock);
        ++m_Stats.requests;
    }
    // The replies of what one read brought (a client's pipelined run) leave together, after it.
    Submit(c);
    return true;
}

void ProxyServer::Submit(Client& c) {
    // A client's next request goes to the unit only while its replies are being taken.
    while (!c.atUnit && !c.requests.empty() && c.PendingOutput() < kMaxPendingOutput) {
        std::vector<uint8_t> body = std::move(c.requests.front());
        c.requests.pop_front();
        proxywire::Request request;
        if (!proxywire::ParseRequest(body.data(), body.size(), request)) {
            JVO_LOG1("ProxyServer: client %s sent a malformed request (%u bytes)", c.name,
                     static_cast<unsigned>(body.size()));
            const uint8_t failed[3] = {0, 0, 0};
            QueueMessage(c, failed, sizeof failed);
            continue;
        }
        if (!c.mayChange && request.length > 0 && ChangesUnit(request.payload[0])) {
            Refuse(c.peer, ProxyRefusal::ReadOnly,
                   FormatStr("refusing %s from read-only client %s",
                             CommandName(request.payload[0]), c.Who()));
            const std::vector<uint8_t> refusal = proxywire::RefusalBody(ProxyRefusal::ReadOnly);
            QueueMessage(c, refusal.data(), static_cast<uint32_t>(refusal.size()));
            continue;
        }
        Job job;
        job.client = c.id;
        job.address = request.address;
        job.payload.assign(request.payload, request.payload + request.length);
        job.timeoutMs = ReplyTimeoutFor(job.payload.data(), job.payload.size());
        if (RunAtOnce(c, job)) continue;
        c.atUnit = true;
        std::lock_guard<std::mutex> guard(m_JobLock);
        m_Jobs.push_back(std::move(job));
        m_JobReady.notify_one();
    }
}

void ProxyServer::QueueMessage(Client& c, const uint8_t* body, uint32_t length) {
    if (c.PendingOutput() == 0) {
        c.out.clear();
        c.outPos = 0;
        c.lastProgress = m_Clock.NowMs();
    }
    uint8_t header[proxywire::kStreamHeaderSize];
    proxywire::PutStreamHeader(header, length);
    c.out.insert(c.out.end(), header, header + sizeof header);
    if (length > 0) {
        c.out.insert(c.out.end(), body, body + length);
        std::lock_guard<std::mutex> guard(m_StatsLock);
        ++m_Stats.replies;
    }
    c.lastSend = m_Clock.NowMs();
}

bool ProxyServer::Flush(Client& c) {
    while (c.PendingOutput() > 0) {
        const int64_t sent = WriteClient(c, c.out.data() + c.outPos, c.PendingOutput());
        if (sent == -1) return true;
        if (sent < 0) return false;
        c.outPos += static_cast<size_t>(sent);
        c.lastProgress = m_Clock.NowMs();
    }
    c.out.clear();
    c.outPos = 0;
    if (c.out.capacity() > kMaxPendingOutput) c.out.shrink_to_fit();
    if (c.tls && c.tls->WantsWrite() && c.tls->Flush() != TlsServerSession::Io::Done) {
        JVO_LOG2("ProxyServer: client %s TLS error: %s", c.name, c.tls->Failure());
        return false;
    }
    return true;
}

void ProxyServer::TakeResults() {
    std::deque<Result> results;
    {
        std::lock_guard<std::mutex> guard(m_ResultLock);
        results.swap(m_Results);
    }
    for (Result& r : results) {
        for (auto& cp : m_Clients) {
            Client& c = *cp;
            if (c.id != r.client || c.dead) continue;
            c.atUnit = false;
            QueueMessage(c, r.body.data(), static_cast<uint32_t>(r.body.size()));
            Submit(c);
            if (!Flush(c)) c.dead = true;
            break;
        }
    }
}

void ProxyServer::Drop(Client& c, bool byServer) {
    {
        // A request of this client that has not reached the unit yet is not sent any more.
        std::lock_guard<std::mutex> guard(m_JobLock);
        m_Jobs.erase(std::remove_if(m_Jobs.begin(), m_Jobs.end(),
                                    [&](const Job& j) { return j.client == c.id; }),
                     m_Jobs.end());
    }
    if (byServer) {
        std::lock_guard<std::mutex> guard(m_StatsLock);
        ++m_Stats.dropped;
    }
    JVO_LOG2("ProxyServer: client %s disconnected", c.name);
    c.socket.Reset();
}

std::vector<uint8_t> ProxyServer::ReplyBody(bool answered, const std::vector<uint8_t>& reply) {
    if (answered && reply.size() > 0xFFFF) {
        JVO_LOG1("ProxyServer: unit reply too long (%u bytes)",
                 static_cast<unsigned>(reply.size()));
    }
    return proxywire::ReplyBody(answered, reply);
}

bool ProxyServer::RunAtOnce(Client& c, const Job& job) {
    if (!m_Backend.AnswersAtOnce()) return false;
    {
        // Only the loop thread adds jobs, so an idle unit thread stays idle meanwhile: the unit
        // still sees one transaction at a time, in arrival order.
        std::lock_guard<std::mutex> guard(m_JobLock);
        if (m_UnitBusy || !m_Jobs.empty()) return false;
    }
    {
        // Replies the unit thread finished earlier go out first.
        std::lock_guard<std::mutex> guard(m_ResultLock);
        if (!m_Results.empty()) return false;
    }
    std::vector<uint8_t> reply;
    const bool answered =
        m_Backend.Transact(job.address, job.payload.data(),
                           static_cast<int32_t>(job.payload.size()), reply, job.timeoutMs);
    const std::vector<uint8_t> body = ReplyBody(answered, reply);
    QueueMessage(c, body.data(), static_cast<uint32_t>(body.size()));
    return true;
}

void ProxyServer::UnitLoop() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_JobLock);
            m_JobReady.wait(lock, [&] { return m_Stopping || !m_Jobs.empty(); });
            if (m_Stopping) return;
            job = std::move(m_Jobs.front());
            m_Jobs.pop_front();
            m_UnitBusy = true;
        }
        std::vector<uint8_t> reply;
        const bool answered =
            m_Backend.Transact(job.address, job.payload.data(),
                               static_cast<int32_t>(job.payload.size()), reply, job.timeoutMs);
        Result result;
        result.client = job.client;
        result.body = ReplyBody(answered, reply);
        {
            std::lock_guard<std::mutex> guard(m_ResultLock);
            m_Results.push_back(std::move(result));
        }
        {
            std::lock_guard<std::mutex> guard(m_JobLock);
            m_UnitBusy = false;
        }
        m_Wake.Set();
    }
}

}  // namespace jvo
