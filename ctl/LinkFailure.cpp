#include "ctl/LinkFailure.h"

#include <cctype>

#include "base/FormatStr.h"
#include "base/Printable.h"
#include "ctl/Commands.h"
#include "link/Commands.h"

namespace jvo::ctl {

namespace {

std::string Detail(const LinkStatus& s) {
    return s.detail.empty() ? std::string() : ": " + Printable(s.detail);
}

std::string SilentHint(const LinkTarget& target) {
    return target.timeoutMs < 0
               ? "check the cable and the unit's power, or give a slow route more time with "
                 "--timeout MS"
               : "check the cable and the unit's power, or give the route more time";
}

}  // namespace

LinkFailureText DescribeLinkFailure(const LinkStatus& s, const LinkTarget& target) {
    const bool proxy = !target.proxyHost.empty();
    const std::string where = target.Describe();
    const std::string server = "the proxy server at " + target.ProxyAddress();
    switch (s.result) {
        case LinkResult::Done:
            return {kExitOk, "", ""};
        case LinkResult::Refused:
            return {kExitFailed, "",
                    FormatStr("the unit refused %s (reply code %s)", CommandName(s.command),
                              s.replyCode >= 0x20 && s.replyCode < 0x7F
                                  ? FormatStr("'%c'", static_cast<char>(s.replyCode))
                                  : FormatStr("0x%02X", s.replyCode))};
        case LinkResult::BadReply:
            return {kExitFailed, "",
                    "the unit answered " + CommandName(s.command) + " with a malformed reply" +
                        Detail(s)};
        case LinkResult::NoReply:
        case LinkResult::Mismatched:
        case LinkResult::WriteFailed:
            return {kExitNoUnit, "The unit on " + where + " does not answer.",
                    (proxy ? "the proxy server answers, but the unit behind it does not: "
                           : std::string(s.result == LinkResult::WriteFailed
                                             ? "the serial port does not take the request: "
                                             : "")) +
                        SilentHint(target)};
        case LinkResult::TransportLost:
            return {kExitNoUnit, "", "the connection to " + where + " was lost" + Detail(s)};
        case LinkResult::NotConnected:
            if (proxy) return {kExitNoUnit, "", "cannot reach " + server + Detail(s)};
            return {kExitNoUnit, "", "cannot open " + where + Detail(s)};
        case LinkResult::ProxyRefused:
            switch (s.refusal) {
                case ProxyRefusal::Full:
                    return {kExitNoUnit, "",
                            FormatStr("%s serves its maximum of %d clients; try again later",
                                      server, s.limit)};
                case ProxyRefusal::NotAllowed:
                    return {
                        kExitNoUnit, "",
                        server + " does not let this computer in (its --allow does not list it)"};
                case ProxyRefusal::ReadOnly:
                    return {kExitFailed, "", "the proxy server refuses changes from this client"};
                case ProxyRefusal::None:
                    break;
            }
            return {kExitNoUnit, "", server + " refused this client"};
        case LinkResult::Cancelled:
            return {kExitFailed, "", "the connection was closed meanwhile"};
        case LinkResult::ReplyTooLong:
        case LinkResult::InvalidRequest:
            return {kExitFailed, "", DescribeStatus(s)};
    }
    return {kExitFailed, "", DescribeStatus(s)};
}

int ReportLinkFailure(const char* command, const LinkStatus& status, const LinkTarget& target,
                      bool headline) {
    const LinkFailureText t = DescribeLinkFailure(status, target);
    std::string line = t.line;
    if (!t.headline.empty()) {
        if (headline) {
            WriteText(stderr, t.headline + "\n");
        } else {
            // The headline's words start the line instead: "the unit on COM5 does not answer: ..."
            std::string said = t.headline.substr(0, t.headline.size() - 1);
            said[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(said[0])));
            line = said + ": " + line;
        }
    }
    if (!line.empty()) Explain(command, line);
    return t.status;
}

}  // namespace jvo::ctl
