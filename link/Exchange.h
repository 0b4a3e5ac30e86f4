#pragma once
// Exchange: one request of a run of transactions and the place for its reply. A run goes to one
// unit as a whole: through a proxy server every request of it goes out at once and the replies
// come back in order (UnitLink::TransactMany, ProxyConnection::TransactMany).
#include <chrono>

#include "base/MsgBuf.h"
#include "link/LinkStatus.h"

namespace jvo {

struct Exchange {
    MsgBuf* request = nullptr;  // its unread bytes go out; they are not consumed
    MsgBuf* reply = nullptr;    // the reply payload is appended
    LinkStatus status;          // how this exchange ended
    std::chrono::steady_clock::time_point doneAt{};  // when its reply came (or it failed)
};

}  // namespace jvo
