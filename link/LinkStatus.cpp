#include "link/LinkStatus.h"

#include "base/FormatStr.h"
#include "link/Commands.h"

namespace jvo {

const char* LinkResultName(LinkResult result) {
    switch (result) {
        case LinkResult::Done:
            return "done";
        case LinkResult::Refused:
            return "refused by the unit";
        case LinkResult::BadReply:
            return "malformed reply";
        case LinkResult::NoReply:
            return "no reply";
        case LinkResult::Mismatched:
            return "only replies that did not match";
        case LinkResult::ReplyTooLong:
            return "reply too long";
        case LinkResult::WriteFailed:
            return "write failed";
        case LinkResult::TransportLost:
            return "transport lost";
        case LinkResult::NotConnected:
            return "not connected";
        case LinkResult::Cancelled:
            return "cancelled";
        case LinkResult::ProxyRefused:
            return "refused by the proxy server";
        case LinkResult::InvalidRequest:
            return "request not sent";
    }
    return "unknown";
}

namespace {

std::string ReplyCodeText(uint8_t code) {
    if (code >= 0x20 && code < 0x7F) return FormatStr("'%c'", static_cast<char>(code));
    return FormatStr("0x%02X", code);
}

std::string RefusalText(const LinkStatus& s) {
    switch (s.refusal) {
        case ProxyRefusal::Full:
            return FormatStr("the proxy server is full (%d clients)", s.limit);
        case ProxyRefusal::NotAllowed:
            return "the proxy server does not let this client in";
        case ProxyRefusal::ReadOnly:
            return "the proxy server refuses changes from this client";
        case ProxyRefusal::None:
            break;
    }
    return "refused by the proxy server";
}

}  // namespace

std::string DescribeStatus(const LinkStatus& s) {
    std::string text;
    if (s.result == LinkResult::Refused) {
        text = FormatStr("%s refused by the unit (reply code %s)", CommandName(s.command),
                         ReplyCodeText(s.replyCode));
    } else if (s.result == LinkResult::ProxyRefused) {
        text = RefusalText(s);
    } else {
        text = LinkResultName(s.result);
        if (s.command != 0 && s.result != LinkResult::Done)
            text = CommandName(s.command) + ": " + text;
    }
    if (!s.detail.empty()) text += " (" + s.detail + ")";
    return text;
}

}  // namespace jvo
