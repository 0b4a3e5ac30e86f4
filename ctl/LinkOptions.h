#pragma once
// The choice of a unit on the command line: --com N, --device PATH or --proxy HOST[:PORT].
#include <string>

#include "ctl/Commands.h"
#include "link/UnitLink.h"

namespace jvo::ctl {

struct LinkTarget {
    int com = 0;
    std::string device;
    std::string proxy;
    std::string Describe() const;
};

// Reads the target from parsed arguments; false with `error` set when none or more than one is
// given or the COM number is not 1..32.
bool ParseLinkTarget(const Args& args, bool allowProxy, LinkTarget& target, std::string& error);
// Opens the link; prints the failure to stderr and returns false when it cannot.
bool OpenLinkTarget(UnitLink& link, const LinkTarget& target);

}  // namespace jvo::ctl
