#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "link/UserRegistry.h"

namespace jvo {
namespace {

// A key of the test's own below HKEY_CURRENT_USER, removed again.
class ScratchKey {
public:
    ScratchKey() : m_Name("SOFTWARE\\JVO-test-" + std::to_string(GetCurrentProcessId())) {
        RegCreateKeyExA(HKEY_CURRENT_USER, m_Name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &m_Key, nullptr);
    }
    ~ScratchKey() {
        if (m_Key) RegCloseKey(m_Key);
        RegDeleteTreeA(HKEY_CURRENT_USER, m_Name.c_str());
    }
    bool Ok() const { return m_Key != nullptr; }
    const std::string& Name() const { return m_Name; }
    void Set(const char* value, DWORD type, const void* data, DWORD bytes) {
        RegSetValueExA(m_Key, value, 0, type, static_cast<const BYTE*>(data), bytes);
    }

private:
    std::string m_Name;
    HKEY m_Key = nullptr;
};

TEST(UserRegistry, ReadsADwordAndTellsEveryOtherCaseApart) {
    ScratchKey key;
    ASSERT_TRUE(key.Ok());
    const DWORD one = 1, zero = 0;
    const uint64_t wide = 1;
    key.Set("ZQT User", REG_DWORD, &one, sizeof one);
    key.Set("Zero", REG_DWORD, &zero, sizeof zero);
    key.Set("Text", REG_SZ, "1", 2);
    key.Set("Qword", REG_QWORD, &wide, sizeof wide);

    uint32_t value = 7;
    EXPECT_EQ(ReadUserDword(key.Name(), "ZQT User", value), RegistryRead::Dword);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(ReadUserDword(key.Name(), "zqt user", value), RegistryRead::Dword);  // any case
    EXPECT_EQ(ReadUserDword(key.Name(), "Zero", value), RegistryRead::Dword);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(ReadUserDword(key.Name(), "Text", value), RegistryRead::NotDword);
    EXPECT_EQ(ReadUserDword(key.Name(), "Qword", value), RegistryRead::NotDword);
    EXPECT_EQ(ReadUserDword(key.Name(), "Absent", value), RegistryRead::Missing);
    EXPECT_EQ(ReadUserDword(key.Name() + "\\No such key", "ZQT User", value),
              RegistryRead::Missing);
    EXPECT_EQ(value, 0u);
}

}  // namespace
}  // namespace jvo
