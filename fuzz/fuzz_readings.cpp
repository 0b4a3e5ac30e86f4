// Every reading decoder (CT, breaker, subfeed, panel readings, panel energy) fed a reply payload.
// A reading that decodes must encode to bytes that decode and encode to the same bytes again.
// (Event records are read field by field inside the client; fuzz_client_transaction covers them.)
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/Readings.h"

using namespace jvo;

namespace {

std::vector<uint8_t> Bytes(MsgBuf& buf) {
    return std::vector<uint8_t>(buf.Base(), buf.Base() + buf.WritePos());
}

template <typename Rec, typename Dec, typename Enc>
void RoundTrip(const uint8_t* data, size_t size, Dec decode, Enc encode) {
    std::vector<uint8_t> copy(data, data + size);
    MsgBuf in(copy.data(), static_cast<int32_t>(copy.size()));
    Rec rec;
    const bool ok = decode(in, rec);
    FUZZ_CHECK(!ok || !in.Error());
    if (!ok) return;
    MsgBuf out(4096);
    FUZZ_CHECK(encode(out, rec));
    std::vector<uint8_t> first = Bytes(out);
    FUZZ_CHECK(first.size() <= size);
    MsgBuf again(first.data(), static_cast<int32_t>(first.size()));
    Rec rec2;
    FUZZ_CHECK(decode(again, rec2));
    MsgBuf out2(4096);
    FUZZ_CHECK(encode(out2, rec2));
    FUZZ_CHECK(Bytes(out2) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t pick = data[0];
    ++data;
    --size;
    switch (pick % 5) {
        case 0:
            RoundTrip<CtReading>(data, size, DecodeCtReading, EncodeCtReading);
            break;
        case 1:
            RoundTrip<BreakerReading>(data, size, DecodeBreakerReading, EncodeBreakerReading);
            break;
        case 2:
            RoundTrip<SubfeedReading>(data, size, DecodeSubfeedReading, EncodeSubfeedReading);
            break;
        case 3:
            RoundTrip<PanelReadingsReply>(data, size, DecodePanelReadings, EncodePanelReadings);
            break;
        case 4:
            RoundTrip<PanelEnergy>(data, size, DecodePanelEnergy, EncodePanelEnergy);
            break;
    }
    return 0;
}
