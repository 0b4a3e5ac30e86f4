#pragma once
// The one place where what the link met becomes what jvoctl says and its exit status: a unit
// that refused a command (1), one that does not answer (4), a proxy server that is full or does
// not let this computer in (4), one that refuses changes from it (1), a route that cannot be
// opened (4), and so on. Nothing here asks the route again: the link's status says it all.
#include <string>

#include "ctl/LinkOptions.h"
#include "link/LinkStatus.h"

namespace jvo::ctl {

struct LinkFailureText {
    int status = 0;        // the exit status
    std::string headline;  // a first line of its own ("The unit on COM5 does not answer."), or ""
    std::string line;      // what went wrong, in words, for "jvoctl COMMAND: ..."
};

LinkFailureText DescribeLinkFailure(const LinkStatus& status, const LinkTarget& target);
// Prints the headline (when `headline` and there is one) and "jvoctl COMMAND: line" on stderr;
// returns the exit status.
int ReportLinkFailure(const char* command, const LinkStatus& status, const LinkTarget& target,
                      bool headline = true);

}  // namespace jvo::ctl
