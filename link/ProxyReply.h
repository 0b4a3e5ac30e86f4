#pragma once
// The reply body a proxy server sends for one request (link/ProxyWire.h): u8 status, u16 payload
// length, the payload; or the server's refusal.
#include "base/MsgBuf.h"
#include "base/RecBuf.h"
#include "link/LinkStatus.h"

namespace jvo {

// Appends the payload of `body` to `reply`. False when the status is 0 (the unit did not answer,
// or the server refused: `status` says which), the body is shorter than its header or than its
// announced payload, or the payload does not fit in `reply`. `status` may be null.
bool TakeProxyReply(RecBuf& body, MsgBuf& reply, LinkStatus* status = nullptr);

}  // namespace jvo
