#include "config/ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "base/Files.h"
#include "tests/config/TestConfigs.h"

namespace jvo {
namespace {

using test::RandomConfig;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::vector<uint8_t> Image(const UnitConfig& c) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(EncodeConfigFile(c, image));
    return image;
}

void SetLength(std::vector<uint8_t>& image, uint32_t length) {
    for (int i = 0; i < 4; ++i)
        image[i] = static_cast<uint8_t>(length >> (8 * i));
}

bool Decodes(const std::vector<uint8_t>& image, UnitConfig* out = nullptr) {
    UnitConfig c;
    const bool ok = DecodeConfigFile(c, image.data(), image.size());
    if (out) *out = c;
    return ok;
}

bool HasNaN(const UnitConfig& c) {
    bool nan = std::isnan(c.m_Unit.m_AdcFactor) || std::isnan(c.m_Unit.m_VScaleFactor) ||
               std::isnan(c.m_Unit.m_IGainFactor);
    for (float f : c.m_Unit.m_IScaleFactor)
        nan = nan || std::isnan(f);
    for (const CtRecord& ct : c.m_Ct)
        nan = nan || std::isnan(ct.m_ChannelAmps);
    return nan;
}

TEST(ConfigFile, EmptyConfigurationLayout) {
    std::vector<uint8_t> payload;
    ASSERT_TRUE(EncodeConfigPayload(UnitConfig(), payload));
    EXPECT_EQ(payload.size(), 4765u);
    EXPECT_EQ(payload.size(), kEmptyConfigPayload);
    const std::vector<uint8_t> image = Image(UnitConfig());
    ASSERT_EQ(image.size(), 4769u);
    // Length 4765 = 0x129D, then schema 4 and the unit name's empty length.
    EXPECT_EQ((std::vector<uint8_t>(image.begin(), image.begin() + 8)),
              (std::vector<uint8_t>{0x9D, 0x12, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00}));
    UnitConfig back;
    back.m_Unit.m_UnitName = "changed";
    ASSERT_TRUE(DecodeConfigPayload(back, payload.data(), payload.size()));
    EXPECT_EQ(back, UnitConfig());
}

// Every field of every entry, used or not, comes back exactly, floats bit for bit.
TEST(ConfigFile, RandomConfigurationsRoundTrip) {
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        std::mt19937 rng(seed);
        const UnitConfig c = RandomConfig(rng);
        const std::vector<uint8_t> image = Image(c);
        UnitConfig back;
        ASSERT_TRUE(Decodes(image, &back)) << "seed " << seed;
        EXPECT_EQ(Image(back), image) << "seed " << seed;
        if (!HasNaN(c)) {
            EXPECT_EQ(back, c) << "seed " << seed;
        }
    }
}

TEST(ConfigFile, RandomConfigurationsRoundTripThroughFiles) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir.File("unit.jvo.cfg");
    for (uint32_t seed = 1000; seed < 1030; ++seed) {
        std::mt19937 rng(seed);
        const UnitConfig c = RandomConfig(rng);
        ASSERT_TRUE(SaveConfigFile(c, path));
        EXPECT_EQ(ReadBytes(path), Image(c));
        UnitConfig back;
        ASSERT_TRUE(LoadConfigFile(back, path)) << "seed " << seed;
        EXPECT_EQ(Image(back), Image(c)) << "seed " << seed;
    }
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"unit.jvo.cfg"});
}

TEST(ConfigFile, TrailingBlanksAreDropped) {
    UnitConfig c;
    c.m_Panels[1].m_Breakers[30].m_Name = " Pump 2 \t ";
    UnitConfig back;
    ASSERT_TRUE(Decodes(Image(c), &back));
    EXPECT_EQ(back.m_Panels[1].m_Breakers[30].m_Name, " Pump 2");
}

TEST(ConfigFile, LengthLimit) {
    UnitConfig c;
    c.m_Unit.m_UnitName.assign(63999 - kEmptyConfigPayload, 'x');
    std::vector<uint8_t> image = Image(c);
    ASSERT_EQ(image.size(), 4u + 63999u);
    UnitConfig back;
    ASSERT_TRUE(Decodes(image, &back));
    EXPECT_EQ(back, c);

    // A payload of 64000 bytes could not be loaded again, so it is not written.
    c.m_Unit.m_UnitName += 'x';
    std::vector<uint8_t> tooLong;
    EXPECT_FALSE(EncodeConfigFile(c, tooLong));
    EXPECT_TRUE(tooLong.empty());

    // A file announcing 64000 bytes is refused even when they are there.
    image.push_back(0);
    SetLength(image, 64000);
    EXPECT_FALSE(Decodes(image));
    SetLength(image, 0xFFFFFFFFu);
    EXPECT_FALSE(Decodes(image));
}

TEST(ConfigFile, PayloadMustBeConsumedExactly) {
    std::mt19937 rng(7);
    const std::vector<uint8_t> good = Image(RandomConfig(rng));
    ASSERT_TRUE(Decodes(good));
    // One byte more inside the payload.
    std::vector<uint8_t> bigger = good;
    bigger.push_back(0);
    SetLength(bigger, static_cast<uint32_t>(good.size() - 4 + 1));
    EXPECT_FALSE(Decodes(bigger));
    // One byte after the payload.
    bigger = good;
    bigger.push_back(0);
    EXPECT_FALSE(Decodes(bigger));
    // One byte short.
    std::vector<uint8_t> shorter(good.begin(), good.end() - 1);
    SetLength(shorter, static_cast<uint32_t>(shorter.size() - 4));
    EXPECT_FALSE(Decodes(shorter));
}

TEST(ConfigFile, SchemaMustBeFour) {
    std::vector<uint8_t> image = Image(UnitConfig());
    for (uint8_t schema : {3, 5, 0}) {
        image[4] = schema;
        EXPECT_FALSE(Decodes(image)) << int(schema);
    }
    image[4] = 4;
    image[5] = 1;  // 0x0104
    EXPECT_FALSE(Decodes(image));
}

TEST(ConfigFile, FailedLoadLeavesTheTargetAlone) {
    UnitConfig target = test::MakeValidConfig();
    const UnitConfig before = target;
    std::vector<uint8_t> image = Image(UnitConfig());
    image.pop_back();
    SetLength(image, static_cast<uint32_t>(image.size() - 4));
    EXPECT_FALSE(DecodeConfigFile(target, image.data(), image.size()));
    EXPECT_EQ(target, before);
}

TEST(ConfigFile, ImpossibleCountsAndStringLengthsFail) {
    UnitConfig c;
    std::vector<uint8_t> image = Image(c);
    // Unit name length 0xFFFF (offset 6).
    std::vector<uint8_t> bad = image;
    bad[6] = bad[7] = 0xFF;
    EXPECT_FALSE(Decodes(bad));
    // Panel A's name length (right after the 81-byte unit record).
    bad = image;
    bad[6 + 81] = bad[6 + 81 + 1] = 0xFF;
    EXPECT_FALSE(Decodes(bad));
    // Panel A's breaker count: name lengths 3 x 2, installed 1, then the 11th word.
    const size_t breakerCnt = 6 + 81 + 6 + 1 + 2 * 11;
    bad = image;
    bad[breakerCnt] = 43;
    EXPECT_FALSE(Decodes(bad));
    bad[breakerCnt] = 42;
    EXPECT_TRUE(Decodes(bad));
    bad[breakerCnt + 2] = 17;  // subfeed count
    EXPECT_FALSE(Decodes(bad));
}

// Truncation at every length, single and multiple bit flips: every image either fails cleanly
// or decodes into a configuration that encodes and decodes again to itself.
TEST(ConfigFile, CorruptedImagesFailCleanly) {
    std::mt19937 rng(42);
    const std::vector<uint8_t> good = Image(RandomConfig(rng));
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(n));
        ASSERT_FALSE(Decodes(cut)) << n;
        if (n >= 4) {
            SetLength(cut, static_cast<uint32_t>(n - 4));  // consistent length, short payload
            ASSERT_FALSE(Decodes(cut)) << n;
        }
    }
    int failed = 0;
    for (int round = 0; round < 600; ++round) {
        std::vector<uint8_t> bad = good;
        const int flips = 1 + round % 4;
        for (int f = 0; f < flips; ++f) {
            const size_t at = rng() % bad.size();
            bad[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        UnitConfig back;
        if (!Decodes(bad, &back)) {
            ++failed;
            continue;
        }
        UnitConfig again;
        ASSERT_TRUE(Decodes(Image(back), &again)) << round;
        EXPECT_EQ(Image(again), Image(back)) << round;
    }
    EXPECT_GT(failed, 20);  // flips in lengths and counts must be caught
}

TEST(ConfigFile, CorruptedFilesFailCleanly) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    std::mt19937 rng(99);
    const std::vector<uint8_t> good = Image(RandomConfig(rng));
    const std::string path = dir.File("bad.jvo.cfg");
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bad = good;
        bool mustFail = true;
        switch (round % 4) {
            case 0:
                bad.resize(rng() % bad.size());
                break;
            case 1:
                bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
                mustFail = false;
                break;
            case 2: {
                const uint32_t length = static_cast<uint32_t>(rng() % 70000);
                SetLength(bad, length);
                mustFail = length != good.size() - 4;
                break;
            }
            case 3: {  // a string length anywhere set huge
                const size_t at = 4 + rng() % (bad.size() - 5);
                bad[at] = 0xFF;
                bad[at + 1] = 0xFF;
                mustFail = false;
                break;
            }
        }
        ASSERT_TRUE(WriteBytes(path, bad));
        UnitConfig c;
        const bool loaded = LoadConfigFile(c, path);
        EXPECT_EQ(loaded, Decodes(bad)) << round;
        if (mustFail) {
            EXPECT_FALSE(loaded) << round;
        }
    }
}

TEST(ConfigFile, LoadRefusesWhatIsNoConfigurationFile) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    UnitConfig c;
    EXPECT_FALSE(LoadConfigFile(c, dir.File("missing")));
    EXPECT_FALSE(LoadConfigFile(c, dir.Path()));  // a directory
    EXPECT_FALSE(LoadConfigFile(c, -1));
#ifndef _WIN32
    // A FIFO without a writer ends at once instead of waiting.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(LoadConfigFile(c, fifo));
#endif
    ASSERT_TRUE(WriteBytes(dir.File("empty"), {}));
    EXPECT_FALSE(LoadConfigFile(c, dir.File("empty")));
    EXPECT_EQ(c, UnitConfig());
}

TEST(ConfigFile, LoadFromDescriptorReadsFromItsOffset) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    std::vector<uint8_t> bytes = {0xAA, 0xBB};
    const std::vector<uint8_t> image = Image(test::MakeValidConfig());
    bytes.insert(bytes.end(), image.begin(), image.end());
    ASSERT_TRUE(WriteBytes(dir.File("f"), bytes));
    const int fd = OpenForReading(dir.File("f"));
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 2, SEEK_SET), 2);
    UnitConfig c;
    EXPECT_TRUE(LoadConfigFile(c, fd));
    CloseFile(fd);
    EXPECT_EQ(c, test::MakeValidConfig());
}

class SafeSave : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Dir.Ok());
        m_Path = m_Dir.File("unit.jvo.cfg");
        ASSERT_TRUE(SaveConfigFile(test::MakeValidConfig(), m_Path));
        m_Good = ReadBytes(m_Path);
        ASSERT_EQ(m_Good, Image(test::MakeValidConfig()));
    }
    TempDir m_Dir;
    std::string m_Path;
    std::vector<uint8_t> m_Good;
};

TEST_F(SafeSave, TooLargeConfigurationKeepsTheOldFile) {
    UnitConfig big;
    big.m_Unit.m_UnitName.assign(40000, 'n');
    big.m_Panels[0].m_PanelName.assign(40000, 'p');
    EXPECT_FALSE(SaveConfigFile(big, m_Path));
    EXPECT_EQ(ReadBytes(m_Path), m_Good);
    EXPECT_EQ(m_Dir.Entries(), std::vector<std::string>{"unit.jvo.cfg"});
    // A single string too long for its 16-bit length fails the same way.
    big = UnitConfig();
    big.m_Panels[1].m_Subfeeds[3].m_Name.assign(70000, 's');
    EXPECT_FALSE(SaveConfigFile(big, m_Path));
    EXPECT_EQ(ReadBytes(m_Path), m_Good);
}

TEST_F(SafeSave, FailedRenameRemovesTheNewFile) {
    // A directory in the way: everything is written, then the rename is refused.
    const std::string blocked = m_Dir.File("blocked");
    ASSERT_TRUE(std::filesystem::create_directory(blocked));
    ASSERT_TRUE(WriteBytes(blocked + "/keep", {1, 2, 3}));
    EXPECT_FALSE(SaveConfigFile(UnitConfig(), blocked));
    std::vector<std::string> entries = m_Dir.Entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"blocked", "unit.jvo.cfg"}));
    EXPECT_EQ(ReadBytes(blocked + "/keep"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_FALSE(SaveConfigFile(UnitConfig(), m_Dir.File("no/such/folder.cfg")));
    EXPECT_FALSE(SaveConfigFile(UnitConfig(), ""));
}

// POSIX permissions and symbolic links.
#ifndef _WIN32
TEST_F(SafeSave, ReplacesTheFileKeepingItsPermissions) {
    ASSERT_EQ(::chmod(m_Path.c_str(), 0640), 0);
    UnitConfig other;
    other.m_Unit.m_UnitName = "other";
    ASSERT_TRUE(SaveConfigFile(other, m_Path));
    EXPECT_EQ(ReadBytes(m_Path), Image(other));
    struct stat st;
    ASSERT_EQ(::stat(m_Path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(m_Dir.Entries(), std::vector<std::string>{"unit.jvo.cfg"});
}

TEST_F(SafeSave, SymbolicLinkStaysALink) {
    const std::string link = m_Dir.File("link.cfg");
    ASSERT_EQ(::symlink("unit.jvo.cfg", link.c_str()), 0);
    ASSERT_TRUE(SaveConfigFile(UnitConfig(), link));
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(m_Path), Image(UnitConfig()));
}
#endif

}  // namespace
}  // namespace jvo
