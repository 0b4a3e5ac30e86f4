#pragma once
// The reply body a proxy server sends for one request: u8 status (0: the unit did not answer or
// the request was malformed), u16 payload length (little-endian), the payload.
#include "base/MsgBuf.h"
#include "base/RecBuf.h"

namespace jvo {

// Appends the payload of `body` to `reply`. False when the status is 0, the body is shorter than
// its header or than its announced payload, or the payload does not fit in `reply`.
bool TakeProxyReply(RecBuf& body, MsgBuf& reply);

}  // namespace jvo
