#include "config/ConfigFile.h"

#include "base/Files.h"
#include "base/MsgBuf.h"
#include "base/ReplaceFile.h"
#include "config/Codec.h"

namespace jvo {

namespace {

constexpr size_t kLengthBytes = 4;

// Reads up to `size` bytes; returns how many arrived before the end of the file, -1 on an error
// (including a descriptor that has nothing to read yet).
int64_t ReadUpTo(int fd, uint8_t* data, size_t size) {
    size_t got = 0;
    while (got < size) {
        const int64_t n = ReadFromFile(fd, data + got, size - got);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

uint32_t ReadLength(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool EncodeConfigPayload(const UnitConfig& config, std::vector<uint8_t>& out) {
    out.clear();
    // One byte less than the limit, so everything that fits is a valid length.
    MsgBuf buf(static_cast<int32_t>(kConfigFileMaxPayload - 1));
    buf.Put16(kSchemaVersion);
    EncodeUnit(kSchemaVersion, buf, config.m_Unit);
    for (const PanelRecord& panel : config.m_Panels) {
        EncodePanel(kSchemaVersion, buf, panel);
        for (const BreakerRecord& b : panel.m_Breakers)
            EncodeBreaker(kSchemaVersion, buf, b);
        for (const SubfeedRecord& s : panel.m_Subfeeds)
            EncodeSubfeed(kSchemaVersion, buf, s);
    }
    for (const CtRecord& ct : config.m_Ct)
        EncodeCt(kSchemaVersion, buf, ct);
    if (buf.Error()) return false;
    out.assign(buf.Base(), buf.Base() + buf.WritePos());
    return true;
}

bool DecodeConfigPayload(UnitConfig& config, const uint8_t* data, size_t size) {
    if (size >= kConfigFileMaxPayload || (size > 0 && !data)) return false;
    std::vector<uint8_t> copy(data, data + size);
    MsgBuf buf(copy.data(), static_cast<int32_t>(size));
    if (buf.Get16() != kSchemaVersion || buf.Error()) return false;
    UnitConfig loaded;
    if (!DecodeUnit(kSchemaVersion, buf, loaded.m_Unit)) return false;
    for (PanelRecord& panel : loaded.m_Panels) {
        if (!DecodePanel(kSchemaVersion, buf, panel)) return false;
        for (BreakerRecord& b : panel.m_Breakers)
            if (!DecodeBreaker(kSchemaVersion, buf, b)) return false;
        for (SubfeedRecord& s : panel.m_Subfeeds)
            if (!DecodeSubfeed(kSchemaVersion, buf, s)) return false;
    }
    for (CtRecord& ct : loaded.m_Ct)
        if (!DecodeCt(kSchemaVersion, buf, ct)) return false;
    if (buf.Error() || buf.Unread() != 0) return false;
    config = std::move(loaded);
    return true;
}

bool EncodeConfigFile(const UnitConfig& config, std::vector<uint8_t>& out) {
    std::vector<uint8_t> payload;
    out.clear();
    if (!EncodeConfigPayload(config, payload)) return false;
    const uint32_t length = static_cast<uint32_t>(payload.size());
    out.reserve(kLengthBytes + payload.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    out.insert(out.end(), payload.begin(), payload.end());
    return true;
}

bool DecodeConfigFile(UnitConfig& config, const uint8_t* data, size_t size) {
    if (size < kLengthBytes || !data) return false;
    const uint32_t length = ReadLength(data);
    if (length >= kConfigFileMaxPayload || size - kLengthBytes != length) return false;
    return DecodeConfigPayload(config, data + kLengthBytes, length);
}

bool SaveConfigFile(const UnitConfig& config, const std::string& path) {
    std::vector<uint8_t> image;
    if (path.empty() || !EncodeConfigFile(config, image)) return false;
    return ReplaceFile(path,
                       std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

bool LoadConfigFile(UnitConfig& config, int fd) {
    if (fd < 0) return false;
    std::vector<uint8_t> image(kLengthBytes + kConfigFileMaxPayload);
    if (ReadUpTo(fd, image.data(), kLengthBytes) != static_cast<int64_t>(kLengthBytes))
        return false;
    const uint32_t length = ReadLength(image.data());
    if (length >= kConfigFileMaxPayload) return false;
    // One byte more than announced tells a longer file from an exact one.
    const int64_t got = ReadUpTo(fd, image.data() + kLengthBytes, length + 1);
    if (got != static_cast<int64_t>(length)) return false;
    return DecodeConfigFile(config, image.data(), kLengthBytes + length);
}

bool LoadConfigFile(UnitConfig& config, const std::string& path) {
    FileHandle fd(OpenForReading(path));
    return LoadConfigFile(config, fd.Get());
}

}  // namespace jvo
