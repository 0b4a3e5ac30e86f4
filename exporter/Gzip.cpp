#include "exporter/Gzip.h"

#include <strings.h>
#include <zlib.h>

#include <sstream>

namespace jvo::exporter {

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

bool AcceptsGzip(const char* acceptEncoding) {
    if (!acceptEncoding) return false;
    std::istringstream in(acceptEncoding);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t semi = item.find(';');
        const std::string coding = Trim(item.substr(0, semi));
        if (strcasecmp(coding.c_str(), "gzip") != 0 && coding != "*") continue;
        if (semi == std::string::npos) return true;
        const std::string param = Trim(item.substr(semi + 1));
        if (param.size() < 2 || (param[0] != 'q' && param[0] != 'Q') || param[1] != '=')
            return true;
        if (std::strtod(param.c_str() + 2, nullptr) > 0) return true;
    }
    return false;
}

bool Gzip(std::string_view in, std::string& out) {
    z_stream z{};
    // 15 window bits plus 16: a gzip header and trailer instead of zlib's.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END;
}

}  // namespace jvo::exporter
