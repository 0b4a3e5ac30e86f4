// Every configuration record decoder, in every schema (4, 3 and an unknown one), as a unit's reply
// or a file hands it over. A record that decodes must encode again, and the encoding must decode
// and encode to the same bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/Codec.h"
#include "fuzz/FuzzCheck.h"

using namespace jvo;

namespace {

std::vector<uint8_t> Bytes(MsgBuf& buf) {
    return std::vector<uint8_t>(buf.Base(), buf.Base() + buf.WritePos());
}

template <typename Rec, typename Dec, typename Enc>
void RoundTrip(int schema, const uint8_t* data, size_t size, Dec decode, Enc encode) {
    std::vector<uint8_t> copy(data, data + size);
    MsgBuf in(copy.data(), static_cast<int32_t>(copy.size()));
    Rec rec;
    const bool ok = decode(schema, in, rec);
    FUZZ_CHECK(!ok || !in.Error());
    FUZZ_CHECK(in.ReadPos() <= static_cast<int32_t>(size));
    if (!ok) return;
    FUZZ_CHECK(schema == 3 || schema == 4);
    MsgBuf out(70000);
    FUZZ_CHECK(encode(schema, out, rec));
    std::vector<uint8_t> first = Bytes(out);
    MsgBuf again(first.data(), static_cast<int32_t>(first.size()));
    Rec rec2;
    FUZZ_CHECK(decode(schema, again, rec2));
    FUZZ_CHECK(again.Unread() == 0);
    MsgBuf out2(70000);
    FUZZ_CHECK(encode(schema, out2, rec2));
    FUZZ_CHECK(Bytes(out2) == first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t pick = data[0];
    const int schema = (pick >> 4) % 3 == 0 ? 4 : (pick >> 4) % 3 == 1 ? 3 : 5;
    ++data;
    --size;
    switch (pick % 5) {
        case 0:
            RoundTrip<UnitRecord>(schema, data, size, DecodeUnit, EncodeUnit);
            break;
        case 1:
            RoundTrip<PanelRecord>(schema, data, size, DecodePanel, EncodePanel);
            break;
        case 2:
            RoundTrip<BreakerRecord>(schema, data, size, DecodeBreaker, EncodeBreaker);
            break;
        case 3:
            RoundTrip<SubfeedRecord>(schema, data, size, DecodeSubfeed, EncodeSubfeed);
            break;
        case 4:
            RoundTrip<CtRecord>(schema, data, size, DecodeCt, EncodeCt);
            break;
    }
    return 0;
}
