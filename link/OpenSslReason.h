#pragma once
// The reason of OpenSSL's oldest queued error (the first thing that went wrong), in words, and the
// queue emptied. Only in builds with OpenSSL (link/TlsOpenSsl.cpp).
#include <string>

namespace jvo {

std::string OpenSslReason();

}  // namespace jvo
