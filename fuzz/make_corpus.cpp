// Writes the seed corpora of the fuzz targets into <dir>/<target>/, from real records, files,
// frames and STREAM messages: the demo and factory configurations and the simulated unit's
// replies to real requests.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/Codec.h"
#include "config/ConfigFile.h"
#include "link/Commands.h"
#include "link/Crc16.h"
#include "link/FrameReceiver.h"
#include "sim/SimConfigs.h"
#include "sim/SimUnit.h"

using namespace jvo;
using Bytes = std::vector<uint8_t>;

namespace {

std::string g_Root;

void Write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string dir = g_Root + "/" + target;
    ::mkdir(dir.c_str(), 0777);
    FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (!f) return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Le(uint32_t v, int n) {
    Bytes out;
    for (int i = 0; i < n; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

Bytes Stream(const Bytes& body) {
    return Cat({Le(0xFEEDFACE, 4), Le(static_cast<uint32_t>(body.size()), 4), body});
}

Bytes Wire(Bytes body) {
    const uint16_t fcs = Crc16Compute(body.data(), body.size());
    body.push_back(static_cast<uint8_t>(fcs & 0xFF));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    Bytes wire(kMaxWireFrame);
    wire.resize(BuildWireFrame(body.data(), body.size(), wire.data(), wire.size()));
    return wire;
}

template <typename Rec, typename Enc>
Bytes Record(int schema, const Rec& rec, Enc encode) {
    MsgBuf buf(70000);
    encode(schema, buf, rec);
    return Bytes(buf.Base(), buf.Base() + buf.WritePos());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_Root = argv[1];
    ::mkdir(g_Root.c_str(), 0777);
    const UnitConfig demo = sim::MakeDemoConfig();
    const UnitConfig factory = sim::MakeFactoryConfig();

    Bytes image;
    EncodeConfigFile(demo, image);
    Write("config_file", "demo", image);
    EncodeConfigFile(factory, image);
    Write("config_file", "factory", image);
    EncodeConfigFile(UnitConfig(), image);
    Write("config_file", "empty", image);

    for (int schema : {4, 3}) {
        const uint8_t s = schema == 4 ? 0x00 : 0x10;
        const std::string tag = "-s" + std::to_string(schema);
        Write("config_records", "unit" + tag,
              Cat({{static_cast<uint8_t>(s | 0)}, Record(schema, demo.m_Unit, EncodeUnit)}));
        Write("config_records", "panel" + tag,
              Cat({{static_cast<uint8_t>(s | 1)}, Record(schema, demo.m_Panels[0], EncodePanel)}));
        Write("config_records", "breaker" + tag,
              Cat({{static_cast<uint8_t>(s | 2)},
                   Record(schema, demo.m_Panels[0].m_Breakers[0], EncodeBreaker)}));
        Write("config_records", "subfeed" + tag,
              Cat({{static_cast<uint8_t>(s | 3)},
                   Record(schema, demo.m_Panels[0].m_MainFeed, EncodeSubfeed)}));
        Write("config_records", "ct" + tag,
              Cat({{static_cast<uint8_t>(s | 4)}, Record(schema, demo.m_Ct[0], EncodeCt)}));
    }

    // The simulated unit's answers to real requests.
    sim::SimUnit unit(SystemClock::Instance(), demo);
    const struct {
        const char* name;
        Bytes request;
        int readingKind;  // the readings target's selector, -1: none
    } requests[] = {
        {"ct-reading", {CMD_GET_CT_READING, 3}, 0},
        {"breaker-reading", {CMD_GET_BREAKER_READING, 0, 1}, 1},
        {"subfeed-reading", {CMD_GET_SUBFEED_READING, 0, 0}, 2},
        {"panel-readings", {CMD_GET_PANEL_READINGS, 0}, 3},
        {"panel-energy", {CMD_GET_PANEL_ENERGY, 0}, 4},
        {"version", {CMD_GET_VERSION}, -1},
        {"event-status", {CMD_GET_EVENT_LOG_STATUS, 2}, -1},
        {"unit-record", {CMD_GET_UNIT_RECORD, 0}, -1},
        {"panel-record", {CMD_GET_PANEL_RECORD, 0, 0}, -1},
    };
    Bytes allWire;
    uint8_t sequence = 0;
    for (const auto& r : requests) {
        Bytes reply;
        if (!unit.Handle(r.request.data(), static_cast<int32_t>(r.request.size()), reply)) continue;
        if (r.readingKind >= 0 && !reply.empty())
            Write("readings", r.name,
                  Cat({{static_cast<uint8_t>(r.readingKind)},
                       Bytes(reply.begin() + 1, reply.end())}));
        const Bytes requestFrame =
            Wire(Cat({{1, kHostAddress, sequence, kProtocolByte}, r.request}));
        const Bytes replyFrame = Wire(Cat({{kHostAddress, 1, sequence, kProtocolByte}, reply}));
        ++sequence;
        Write("frame_receiver", r.name, Cat({{0x35}, requestFrame, replyFrame}));
        allWire.insert(allWire.end(), replyFrame.begin(), replyFrame.end());

        const Bytes requestBody =
            Cat({{1}, Le(static_cast<uint32_t>(r.request.size()), 2), r.request});
        const Bytes replyBody = Cat({{1}, Le(static_cast<uint32_t>(reply.size()), 2), reply});
        Write("proxy_request", r.name, Cat({Stream({}), Stream(requestBody)}));
        Write("proxy_reply", r.name, Cat({{0x80}, replyBody}));
        Write("stream_receiver", r.name,
              Cat({{static_cast<uint8_t>(sequence & 3), 0x11},
                   Stream(requestBody),
                   Stream({}),
                   Stream(replyBody)}));
        // For the client: a well-addressed 'd' reply carrying this payload (the provider takes
        // its choices from the end of the input and the payload bytes from the front).
        Write("client_transaction", r.name,
              Cat({Bytes(reply.begin() + (reply.empty() ? 0 : 1), reply.end()),
                   {0, 0, 0, 0, 0, 0, 1, 0, 0}}));
    }
    Write("frame_receiver", "all-replies", Cat({{0x01}, allWire}));
    return 0;
}
