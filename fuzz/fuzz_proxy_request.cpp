// The proxy server's request parsing: the STREAM bytes a client sends, received with the
// server's keep limit, each body parsed as a request (unit address, payload length, payload) and
// given the reply time-out its command needs. A body that parses must be exactly its header and
// payload; one longer than the server keeps must never parse.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzCheck.h"
#include "link/ProxyWire.h"
#include "link/StreamReader.h"
#include "proxy/ProxyServer.h"

using namespace jvo;

namespace {

class NoUnit : public IUnitBackend {
public:
    bool Transact(uint8_t, const uint8_t*, int32_t, std::vector<uint8_t>&, int32_t) override {
        return false;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static NoUnit unit;
    static ProxyServer server(unit);  // never started: only its time-out table is used
    StreamReader reader(static_cast<uint32_t>(proxywire::kMaxRequestBody), 256);
    size_t at = 0;
    while (at < size) {
        size_t want = 0;
        uint8_t* into = reader.Space(want);
        const size_t got = want < size - at ? want : size - at;
        std::memcpy(into, data + at, got);
        at += got;
        const StreamReader::Event event = reader.Took(got);
        if (event == StreamReader::Event::BadMarker || event == StreamReader::Event::BadLength)
            return 0;  // the server drops the client
        if (event != StreamReader::Event::Message) continue;
        std::unique_ptr<uint8_t[]> body = reader.TakeBody();
        const size_t kept = reader.Length() <= proxywire::kMaxRequestBody ? reader.KeptLength() : 0;
        proxywire::Request request;
        if (!proxywire::ParseRequest(body.get(), kept, request)) continue;
        FUZZ_CHECK(kept >= 3 && request.length == kept - 3);
        FUZZ_CHECK(request.payload == body.get() + 3);
        FUZZ_CHECK(request.address == body[0]);
        const int32_t timeout = server.ReplyTimeoutFor(request.payload, request.length);
        FUZZ_CHECK(timeout == 250 || timeout == 3000 || timeout == 10000);
    }
    return 0;
}
