// Whole client operations over a serial link whose unit is hostile: for every request frame the
// input decides what comes back (a well-addressed reply with any payload, a stale one first, raw
// bytes, a damaged frame or nothing). The link's reply time-out is 0 and the scripted device hands
// every answer to the port's reader before the request's write returns, so nothing ever waits.
// An operation may succeed only when some answer could have matched its request.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "config/UnitConfig.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScriptedDevice.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "link/Crc16.h"
#include "link/FrameReceiver.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"

using namespace jvo;

namespace {

FuzzedDataProvider* g_Input = nullptr;
bool g_Answerable = false;  // some answer to the current operation could have matched

void SendFrame(std::vector<uint8_t> body, bool damage) {
    const uint16_t fcs = Crc16Compute(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(fcs & 0xFF));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    if (damage) {
        const size_t bit = g_Input->ConsumeIntegralInRange<size_t>(0, body.size() * 8 - 1);
        body[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    }
    std::vector<uint8_t> wire(kMaxWireFrame);
    const size_t n = BuildWireFrame(body.data(), body.size(), wire.data(), wire.size());
    fuzz::Deliver(wire.data(), n);
}

// The far end: reads the request header from the stuffed frame and answers as the input says.
void Answer(const uint8_t* data, size_t count) {
    FrameQueue queue;
    FrameReceiver receiver(queue);
    receiver.Feed(data, count);
    FrameBuf* request = queue.Take(0);
    FUZZ_CHECK(request != nullptr && request->length >= 4);
    const uint8_t address = request->data[0];
    FUZZ_CHECK(request->data[1] == kHostAddress);
    const uint8_t sequence = request->data[2];
    const uint8_t protocol = request->data[3];
    FramePool::Instance().Release(request);

    FuzzedDataProvider& in = *g_Input;
    const int answers = in.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < answers && in.remaining_bytes() > 0; ++i) {
        const int mode = in.ConsumeIntegralInRange(0, 5);
        const size_t length = in.ConsumeIntegralInRange<size_t>(0, kMaxPayload);
        std::vector<uint8_t> payload = in.ConsumeBytes<uint8_t>(length);
        std::vector<uint8_t> body = {kHostAddress, address, sequence, protocol};
        switch (mode) {
            case 0:  // a matching reply
            case 1:  // ... with the 'd' code
                if (mode == 1) body.push_back(kReplyOk);
                body.insert(body.end(), payload.begin(), payload.end());
                SendFrame(std::move(body), false);
                g_Answerable = true;
                break;
            case 2:  // an answer to an earlier request
                body[2] = static_cast<uint8_t>(sequence - 1 - (payload.empty() ? 0 : payload[0]));
                body.insert(body.end(), payload.begin(), payload.end());
                SendFrame(std::move(body), false);
                break;
            case 3:  // raw bytes on the line: may hold any frame at all
                fuzz::Deliver(payload.data(), payload.size());
                g_Answerable = true;
                break;
            case 4:  // a matching reply damaged by one bit on the line
                body.insert(body.end(), payload.begin(), payload.end());
                SendFrame(std::move(body), true);
                break;
            case 5:  // silence
                break;
        }
    }
}

UnitLink& Link() {
    static UnitLink* link = [] {
        // The log's lines are still formatted, but millions of "no reply" lines on standard
        // error would only slow the run and fill the disk.
        CAppLog::Instance().SetDebugChannel(false);
        auto* l = new UnitLink;  // kept for the whole run: its reader thread serves every input
        FUZZ_CHECK(l->OpenSerialDevice("scripted", kDefaultBaud));
        fuzz::SetFarEnd(Answer);
        return l;
    }();
    return *link;
}

bool RunOne(UnitClient& client, FuzzedDataProvider& in) {
    const uint8_t a = in.ConsumeIntegral<uint8_t>();
    const uint8_t b = in.ConsumeIntegral<uint8_t>();
    const uint8_t c = in.ConsumeIntegral<uint8_t>();
    switch (in.ConsumeIntegralInRange(0, 20)) {
        case 0: {
            uint16_t count, newest;
            return client.GetEventLogStatus(a % 3, count, newest);
        }
        case 1: {
            EventRecord e;
            const bool ok = client.GetEvent(a % 3, static_cast<uint16_t>(b << 8 | c), e);
            FUZZ_CHECK(!ok || e.m_Index == static_cast<uint16_t>(b << 8 | c));
            FUZZ_CHECK(e.m_Time >= 0 && e.m_Time <= 0xFFFFFFFFll);
            return ok;
        }
        case 2: {
            UnitRecord r;
            return client.GetUnitRecord(a & 1, r);
        }
        case 3: {
            PanelRecord r;
            const bool ok = client.GetPanelRecord(a & 1, b % kPanelCount, r);
            FUZZ_CHECK(!ok || (r.m_BreakerCnt <= kMaxBreakers && r.m_SubfeedCnt <= kMaxSubfeeds));
            return ok;
        }
        case 4: {
            BreakerRecord r;
            return client.GetBreakerRecord(a & 1, b % kPanelCount, c % kMaxBreakers, r);
        }
        case 5: {
            CtRecord r;
            return client.GetCtRecord(a & 1, b % kCtCount, r);
        }
        case 6: {
            SubfeedRecord r;
            return client.GetSubfeedRecord(a & 1, b % kPanelCount, c % kMaxSubfeeds, r);
        }
        case 7: {
            uint16_t state;
            uint32_t value;
            return client.GetStatus(state, value);
        }
        case 8: {
            uint8_t address;
            return client.GetDipAddress(address);
        }
        case 9: {
            VersionInfo v;
            return client.GetVersion(v);
        }
        case 10: {
            PanelReadingsReply r;
            return client.GetPanelReadings(a % kPanelCount, r);
        }
        case 11: {
            BreakerReading r;
            return client.GetBreakerReading(a % kPanelCount, b % kMaxBreakers, r);
        }
        case 12: {
            CtReading r;
            return client.GetCtReading(a % kCtCount, r);
        }
        case 13: {
            int64_t seconds;
            return client.GetClock(seconds);
        }
        case 14: {
            PanelEnergy e;
            const bool ok = client.GetPanelEnergy(a % kPanelCount, e);
            FUZZ_CHECK(!ok || (e.m_Breakers.size() <= kMaxBreakers &&
                               e.m_Subfeeds.size() <= kMaxSubfeeds));
            return ok;
        }
        case 15: {
            SubfeedReading r;
            return client.GetSubfeedReading(a % kPanelCount, b % kMaxSubfeeds, r);
        }
        case 16: {
            uint16_t version;
            int supported;
            return client.GetSchemaVersionRepeated(1 + a % 3, version, supported);
        }
        case 17: {
            bool on;
            return client.GetAutoZero(on);
        }
        case 18:
            return (a & 1) ? client.SetClock(static_cast<uint32_t>(b << 8 | c))
                           : client.ClearEventLog(b % 3);
        case 19: {
            UnitConfig config;
            return ReadConfig(client, config, a & 1, 1, nullptr);
        }
        default:
            return WriteConfig(client, UnitConfig(), 1, nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UnitLink& link = Link();
    FuzzedDataProvider in(data, size);
    g_Input = &in;
    UnitClient client(&link, in.ConsumeIntegral<uint8_t>());
    client.SetReplyTimeoutMs(0);
    client.SetSleeper([](int32_t) {});
    for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
        // Frames left from the previous operation would be someone else's answers.
        while (FrameBuf* f = link.Port().GetFrame(0))
            FramePool::Instance().Release(f);
        g_Answerable = false;
        const bool ok = RunOne(client, in);
        FUZZ_CHECK(!ok || g_Answerable);
        FUZZ_CHECK(link.IsConnected());
    }
    g_Input = nullptr;
    return 0;
}
