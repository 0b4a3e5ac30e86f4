#pragma once
// The baselines: request/reply ping-pong between two plain threads that only move bytes, over a
// pseudo-terminal and over loopback TCP. Whatever the link adds shows as the distance to these.
#include <cstddef>

namespace jvo::bench {

// Round trips per second: `outBytes` from the program's side (the pty's slave) to the unit's
// side (its master), `inBytes` back, for `seconds`. 0 when the pty cannot be set up.
double PtyPingPong(size_t outBytes, size_t inBytes, double seconds);
// The same over a loopback TCP connection with Nagle's delay off on both ends.
double TcpPingPong(size_t outBytes, size_t inBytes, double seconds);

}  // namespace jvo::bench
