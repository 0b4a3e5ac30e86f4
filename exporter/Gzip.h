#pragma once
// gzip for HTTP answers (Prometheus asks for it; a fleet's exposition shrinks about tenfold).
#include <cstddef>
#include <string>
#include <string_view>

namespace jvo::exporter {

constexpr size_t kGzipFrom = 1024;  // smaller answers go as they are

// True when an Accept-Encoding header value (null: none) takes gzip: the token "gzip" or "*"
// without "q=0".
bool AcceptsGzip(const char* acceptEncoding);

// The gzip stream of `in`; false when zlib fails (out of memory).
bool Gzip(std::string_view in, std::string& out);

}  // namespace jvo::exporter
