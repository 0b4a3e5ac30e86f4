// The socket layer on Windows: Winsock 2.2.
//
// The wait (SocketPoller) looks at the sockets' state with select() and sleeps on an event that
// WSAEventSelect attaches to every socket of the wait for its duration, together with the events
// of the entries. So that select() may hold every client of a proxy server, fd_set is made larger
// than Winsock's default of 64 sockets. A socket can be attached to one event at a time: two
// threads must not wait on one socket at once (WaitsMayShareASocket).
#define FD_SETSIZE 1024
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

#include "base/win32/Wide.h"
#include "link/Socket.h"

namespace jvo {

namespace {

SOCKET Sock(NativeSocket s) {
    return static_cast<SOCKET>(s);
}

sockaddr_in Address(uint32_t address, uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

// Winsock is started once on first use and stays started until the process ends, besides the
// counted starts of StartNetwork.
void EnsureStarted() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Not inherited by programs this one starts.
void NotInherited(SOCKET s) {
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

bool MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

}  // namespace

void SocketHandle::Reset(NativeSocket s) {
    if (m_Socket != kNoSocket) closesocket(Sock(m_Socket));
    m_Socket = s;
}

namespace net {

bool StartNetwork() {
    EnsureStarted();
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopNetwork() {
    WSACleanup();
}

int LastError() {
    return WSAGetLastError();
}

Error Classify(int error) {
    switch (error) {
        case 0:
            return Error::None;
        case WSAEWOULDBLOCK:
            return Error::WouldBlock;
        case WSAEINPROGRESS:
        case WSAEALREADY:
        case WSAEINTR:
            return Error::InProgress;
        case WSAEADDRINUSE:
            return Error::AddressInUse;
        case WSAEACCES:
            return Error::AccessDenied;
        case WSAEADDRNOTAVAIL:
            return Error::AddressNotAvailable;
        case WSAECONNABORTED:
        case WSAECONNRESET:
            return Error::Aborted;
        case WSAECONNREFUSED:
            return Error::Refused;
        case WSAEMFILE:
        case WSAENOBUFS:
            return Error::OutOfResources;
        default:
            return Error::Other;
    }
}

std::string ErrorText(int error) {
    return Win32ErrorText(static_cast<unsigned long>(error));
}

SocketHandle OpenStream() {
    EnsureStarted();
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) return SocketHandle();
    SocketHandle handle(static_cast<NativeSocket>(s));
    NotInherited(s);
    if (!MakeNonBlocking(s)) return SocketHandle();
    return handle;
}

int Connect(NativeSocket s, uint32_t address, uint16_t port) {
    const sockaddr_in to = Address(address, port);
    return connect(Sock(s), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
               ? 0
               : WSAGetLastError();
}

int ConnectResult(NativeSocket s) {
    int error = 0;
    int length = sizeof error;
    if (getsockopt(Sock(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
        error = WSAGetLastError();
    return error;
}

bool SetNoDelay(NativeSocket s) {
    BOOL one = TRUE;
    return setsockopt(Sock(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                      sizeof one) == 0;
}

int Listen(NativeSocket s, uint32_t address, uint16_t port, int backlog) {
    // Windows lets a port be taken again at once anyway; SO_REUSEADDR would let a second program
    // take a port that is in use, so this socket asks for the port to itself.
    BOOL one = TRUE;
    setsockopt(Sock(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
               sizeof one);
    const sockaddr_in a = Address(address, port);
    if (bind(Sock(s), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        listen(Sock(s), backlog < 0 ? SOMAXCONN : backlog) != 0)
        return WSAGetLastError();
    return 0;
}

uint16_t LocalPort(NativeSocket s) {
    sockaddr_in a{};
    int length = sizeof a;
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

SocketHandle Accept(NativeSocket listener, uint32_t& peerAddress, uint16_t& peerPort, int& error) {
    sockaddr_in from{};
    int length = sizeof from;
    const SOCKET s = accept(Sock(listener), reinterpret_cast<sockaddr*>(&from), &length);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return SocketHandle();
    }
    SocketHandle handle(static_cast<NativeSocket>(s));
    NotInherited(s);
    // An accepted socket takes over the listener's event selection: it is cleared, so that the
    // socket can be made blocking or non-blocking as the caller wants.
    WSAEventSelect(s, nullptr, 0);
    if (!MakeNonBlocking(s)) {
        error = WSAGetLastError();
        return SocketHandle();
    }
    peerAddress = ntohl(from.sin_addr.s_addr);
    peerPort = ntohs(from.sin_port);
    error = 0;
    return handle;
}

int64_t Recv(NativeSocket s, void* buffer, size_t capacity) {
    const int chunk = capacity > 0x40000000u ? 0x40000000 : static_cast<int>(capacity);
    const int n = recv(Sock(s), static_cast<char*>(buffer), chunk, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int64_t Send(NativeSocket s, const void* data, size_t count) {
    const int chunk = count > 0x40000000u ? 0x40000000 : static_cast<int>(count);
    const int n = send(Sock(s), static_cast<const char*>(data), chunk, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

bool ResolveIpv4(const std::string& name, uint32_t& address) {
    EnsureStarted();
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* result = nullptr;
    if (GetAddrInfoW(Widen(name).c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return false;
    bool found = false;
    for (ADDRINFOW* ai = result; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            address = ntohl(reinterpret_cast<const sockaddr_in*>(ai->ai_addr)->sin_addr.s_addr);
            found = true;
            break;
        }
    }
    FreeAddrInfoW(result);
    return found;
}

bool WaitsMayShareASocket() {
    return false;  // see the top of this file
}

}  // namespace net

SocketPoller::SocketPoller() {
    m_Native = reinterpret_cast<intptr_t>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

SocketPoller::~SocketPoller() {
    if (m_Native) CloseHandle(reinterpret_cast<HANDLE>(m_Native));
}

void SocketPoller::Clear() {
    m_Entries.clear();
}

size_t SocketPoller::AddSocket(NativeSocket s, bool input, bool output) {
    m_Entries.push_back(Entry{s, nullptr, input, output, 0});
    return m_Entries.size() - 1;
}

size_t SocketPoller::AddEvent(const SyncEvent& event) {
    m_Entries.push_back(Entry{kNoSocket, &event, true, false, 0});
    return m_Entries.size() - 1;
}

namespace {

// The sockets' state now, by a select() that does not wait. -1 on an error.
int LookAtSockets(std::vector<SocketPoller::Entry>& entries, bool& anySocket) {
    fd_set in, out, failed;
    FD_ZERO(&in);
    FD_ZERO(&out);
    FD_ZERO(&failed);
    anySocket = false;
    for (const SocketPoller::Entry& e : entries) {
        if (e.event || e.socket == kNoSocket || (!e.input && !e.output)) continue;
        if (in.fd_count >= FD_SETSIZE) break;
        anySocket = true;
        if (e.input) FD_SET(Sock(e.socket), &in);
        if (e.output) FD_SET(Sock(e.socket), &out);
        FD_SET(Sock(e.socket), &failed);  // a connect that failed
    }
    if (!anySocket) return 0;
    timeval now{0, 0};
    if (select(0, &in, &out, &failed, &now) == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAENOTSOCK) return -1;
        // One of them is no socket: find it, and report it as such.
        for (SocketPoller::Entry& e : entries) {
            if (e.event || e.socket == kNoSocket) continue;
            int type = 0;
            int length = sizeof type;
            if (getsockopt(Sock(e.socket), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type),
                           &length) != 0)
                e.result |= SocketPoller::kInvalid;
        }
        return 1;
    }
    int reported = 0;
    for (SocketPoller::Entry& e : entries) {
        if (e.event || e.socket == kNoSocket) continue;
        if (e.input && FD_ISSET(Sock(e.socket), &in)) e.result |= SocketPoller::kReadable;
        if (e.output && FD_ISSET(Sock(e.socket), &out)) e.result |= SocketPoller::kWritable;
        if (FD_ISSET(Sock(e.socket), &failed)) e.result |= SocketPoller::kFailed;
        if (e.result != 0) ++reported;
    }
    return reported;
}

}  // namespace

int SocketPoller::Wait(int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    HANDLE wake = reinterpret_cast<HANDLE>(m_Native);
    if (!wake) return -1;
    for (Entry& e : m_Entries)
        e.result = 0;
    // Attach the sockets to the wake event for this wait; a state that holds already signals it.
    ResetEvent(wake);
    std::vector<SOCKET> attached;
    for (const Entry& e : m_Entries) {
        if (e.event || e.socket == kNoSocket || (!e.input && !e.output)) continue;
        const long what = (e.input ? FD_READ | FD_ACCEPT | FD_CLOSE : 0) |
                          (e.output ? FD_WRITE | FD_CONNECT | FD_CLOSE : 0);
        if (WSAEventSelect(Sock(e.socket), wake, what) == 0) attached.push_back(Sock(e.socket));
    }
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    size_t eventEntry[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    handles[count++] = wake;
    for (size_t i = 0; i < m_Entries.size() && count < MAXIMUM_WAIT_OBJECTS; ++i) {
        if (!m_Entries[i].event) continue;
        eventEntry[count] = i;
        handles[count++] = reinterpret_cast<HANDLE>(m_Entries[i].event->Native());
    }
    int reported = 0;
    for (;;) {
        bool anySocket = false;
        const int sockets = LookAtSockets(m_Entries, anySocket);
        if (sockets < 0) {
            reported = -1;
            break;
        }
        reported = sockets;
        // Events: looked at without waiting (an auto-reset one is taken when set).
        for (DWORD h = 1; h < count; ++h) {
            if (WaitForSingleObject(handles[h], 0) == WAIT_OBJECT_0) {
                m_Entries[eventEntry[h]].result = kSet;
                ++reported;
            }
        }
        if (reported > 0) break;
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            wait = static_cast<DWORD>(left.count());
        }
        const DWORD r = WaitForMultipleObjects(count, handles, FALSE, wait);
        if (r == WAIT_TIMEOUT) break;
        if (r == WAIT_FAILED) {
            reported = -1;
            break;
        }
        if (r > WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) {
            // The wait took an auto-reset event's signal: it is reported with what else holds.
            const size_t i = eventEntry[r - WAIT_OBJECT_0];
            if (m_Entries[i].event->IsAutoReset()) {
                m_Entries[i].result = kSet;
                LookAtSockets(m_Entries, anySocket);
                for (DWORD h = 1; h < count; ++h)
                    if (eventEntry[h] != i && WaitForSingleObject(handles[h], 0) == WAIT_OBJECT_0)
                        m_Entries[eventEntry[h]].result = kSet;
                reported =
                    static_cast<int>(std::count_if(m_Entries.begin(), m_Entries.end(),
                                                   [](const Entry& e) { return e.result != 0; }));
                break;
            }
        }
        // A socket's state changed (or a manual event was set): look again.
        ResetEvent(wake);
    }
    for (SOCKET s : attached)
        WSAEventSelect(s, nullptr, 0);
    return reported;
}

}  // namespace jvo
