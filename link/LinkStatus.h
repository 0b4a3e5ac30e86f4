#pragma once
// LinkStatus: why the last transaction of a caller ended as it did. Every transaction and every
// unit command still answers with a plain boolean; the status beside it says which of a small set
// of outcomes it met, so that each program can tell a unit that refused a command from one that
// is silent, a lost line from a full proxy server, without probing the route again.
#include <cstdint>
#include <string>

namespace jvo {

enum class LinkResult : uint8_t {
    Done,            // the unit carried the command out (reply code 'd', results complete)
    Refused,         // the unit answered with another reply code (command, replyCode)
    BadReply,        // the unit answered 'd' but its results are short or malformed
    NoReply,         // nothing came back within the reply time-out
    Mismatched,      // only replies that did not match the request came back
    ReplyTooLong,    // the reply did not fit the caller's buffer
    WriteFailed,     // the request could not be written, or its write timed out
    TransportLost,   // the serial device hung up or the proxy connection ended (detail)
    NotConnected,    // the link is not open (or could not be opened: detail)
    Cancelled,       // the link was closed while the transaction ran or waited
    ProxyRefused,    // the proxy server refused this client or request (refusal, limit)
    InvalidRequest,  // the request overran its buffer or does not fit a frame: never sent
};

// Why a proxy server refuses; the numbers travel on the wire (link/ProxyWire.h).
enum class ProxyRefusal : uint8_t {
    None = 0,
    Full = 1,        // it serves its maximum number of clients (limit)
    NotAllowed = 2,  // this client's address is not let in
    ReadOnly = 3,    // it refuses changes from this client
};

struct LinkStatus {
    LinkResult result = LinkResult::Done;
    uint8_t command = 0;    // the command code of the request, where there was one
    uint8_t replyCode = 0;  // Refused: the unit's reply code
    ProxyRefusal refusal = ProxyRefusal::None;
    uint16_t limit = 0;  // ProxyRefusal::Full: the server's client limit
    std::string detail;  // the reason in words, where the link knows one

    bool Ok() const { return result == LinkResult::Done; }
    // The unit itself answered (done, refused or malformed): the route works.
    bool Answered() const {
        return result == LinkResult::Done || result == LinkResult::Refused ||
               result == LinkResult::BadReply;
    }

    static LinkStatus Of(LinkResult result, std::string detail = {}) {
        LinkStatus s;
        s.result = result;
        s.detail = std::move(detail);
        return s;
    }
};

// "refused", "no reply", ... for logs.
const char* LinkResultName(LinkResult result);
// One line for a log: "GetEvent refused by the unit (reply code 'n')", "no reply within the
// time-out", "proxy server full (128 clients)".
std::string DescribeStatus(const LinkStatus& status);

}  // namespace jvo
