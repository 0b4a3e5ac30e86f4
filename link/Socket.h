#pragma once
// The socket part of the platform layer: IPv4 stream sockets, always non-blocking, and one wait
// over several sockets and events. The POSIX implementation is in link/posix/, the Winsock 2.2
// one in link/win32/; nothing above this header calls the socket library itself.
//
// Error numbers are the platform's own (errno, or WSAGetLastError()); they appear in log lines
// as they are, and Classify() names the ones that callers act on.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/SyncEvent.h"

namespace jvo {

// A descriptor (POSIX) or a SOCKET (Windows).
using NativeSocket = intptr_t;
constexpr NativeSocket kNoSocket = -1;

// An owned socket, closed when the handle goes.
class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(NativeSocket s) : m_Socket(s) {}
    ~SocketHandle() { Reset(); }
    SocketHandle(SocketHandle&& other) noexcept : m_Socket(other.Release()) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    bool Valid() const { return m_Socket != kNoSocket; }
    NativeSocket Get() const { return m_Socket; }
    NativeSocket Release() {
        const NativeSocket s = m_Socket;
        m_Socket = kNoSocket;
        return s;
    }
    void Reset(NativeSocket s = kNoSocket);

private:
    NativeSocket m_Socket = kNoSocket;
};

namespace net {

// What a failed call means to its caller.
enum class Error {
    None,
    WouldBlock,           // try again when the socket is ready
    InProgress,           // a connect goes on in the background
    AddressInUse,         // another socket is bound there
    AccessDenied,         // e.g. a port below 1024 without privileges
    AddressNotAvailable,  // not an address of this machine
    Aborted,              // a connection went away before it was accepted
    Refused,              // nothing listens there
    OutOfResources,       // descriptors, buffers or memory ran out
    Other,
};

// Holds the socket library started (counted: each successful start is ended by one stop). The
// calls below start it themselves where needed; a program holds it for its life (TcpBase).
bool StartNetwork();
void StopNetwork();

// The platform's error number of the calling thread's last failed socket call.
int LastError();
Error Classify(int error);
// The text of an error number with the number, as in "Address already in use (error 98)".
std::string ErrorText(int error);

// A new IPv4 stream socket: non-blocking and not inherited by programs started later. Invalid
// (see LastError) on failure.
SocketHandle OpenStream();
// Starts connecting to address:port (host byte order). 0 when connected at once, else the error
// number: Classify() gives InProgress while the connect goes on.
int Connect(NativeSocket s, uint32_t address, uint16_t port);
// The result of a connect that went on in the background: 0 or its error number.
int ConnectResult(NativeSocket s);
// Turns Nagle's delay off, so that each small message leaves at once.
bool SetNoDelay(NativeSocket s);
// Binds to address:port (0: any free port) and listens with a queue of `backlog` connections
// (negative: the system's largest). 0 or the error number. The address can be taken again at
// once after an earlier listener ended.
int Listen(NativeSocket s, uint32_t address, uint16_t port, int backlog);
// The port the socket is bound to; 0 when unknown.
uint16_t LocalPort(NativeSocket s);
// The next waiting connection (non-blocking, not inherited) with the peer's address and port;
// invalid with the error number in `error` when there is none or it failed.
SocketHandle Accept(NativeSocket listener, uint32_t& peerAddress, uint16_t& peerPort, int& error);
// Reads what is there, up to `capacity` bytes: the count, 0 when the peer closed the stream, -1
// on an error (LastError(); WouldBlock when nothing is there yet).
int64_t Recv(NativeSocket s, void* buffer, size_t capacity);
// Writes what the socket takes now, up to `count` bytes: the count, or -1 on an error
// (WouldBlock when it takes nothing now). A peer that went away never ends the process.
int64_t Send(NativeSocket s, const void* data, size_t count);
// The system's name lookup: the first IPv4 address of `name` (host byte order).
bool ResolveIpv4(const std::string& name, uint32_t& address);

// Whether two threads may wait on one socket at the same time (see SocketPoller). Where they may
// not, one thread waits and the others read and write without waiting.
bool WaitsMayShareASocket();

}  // namespace net

// One wait over sockets and events: for input on some sockets, room for output on others, and
// any of a few events. Entries are added for each wait (Clear() starts over) and reported after
// it by their index. An invalid socket is added but never reported. An event is reported while
// it is set; an auto-reset event that is reported has been taken.
class SocketPoller {
public:
    SocketPoller();
    ~SocketPoller();
    SocketPoller(const SocketPoller&) = delete;
    SocketPoller& operator=(const SocketPoller&) = delete;

    void Clear();
    size_t AddSocket(NativeSocket s, bool input, bool output);
    size_t AddEvent(const SyncEvent& event);
    // Waits up to timeoutMs (kWaitForever: no limit) until an entry has something to report:
    // the number of such entries, 0 on time-out, -1 on an error (LastError()).
    int Wait(int32_t timeoutMs);

    // Input waits (or the end of the stream, or a waiting connection on a listener).
    bool Readable(size_t i) const { return Has(i, kReadable); }
    // Room for output (or a connect that went on in the background has ended).
    bool Writable(size_t i) const { return Has(i, kWritable); }
    // The connection hung up or failed; a read or write tells how.
    bool Failed(size_t i) const { return Has(i, kFailed); }
    // The entry is not an open socket.
    bool NotASocket(size_t i) const { return Has(i, kInvalid); }
    // An event entry was set.
    bool IsSet(size_t i) const { return Has(i, kSet); }
    // Anything at all was reported for the entry.
    bool Reported(size_t i) const { return m_Entries[i].result != 0; }

    struct Entry {
        NativeSocket socket = kNoSocket;
        const SyncEvent* event = nullptr;
        bool input = false;
        bool output = false;
        unsigned result = 0;  // kReadable | kWritable | kFailed | kInvalid | kSet
    };
    enum : unsigned { kReadable = 1, kWritable = 2, kFailed = 4, kInvalid = 8, kSet = 16 };

private:
    bool Has(size_t i, unsigned what) const { return (m_Entries[i].result & what) != 0; }

    std::vector<Entry> m_Entries;
    intptr_t m_Native = 0;  // what the platform's wait needs beside the entries
};

}  // namespace jvo
