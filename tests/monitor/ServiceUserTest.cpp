#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "monitor/ServiceUser.h"
#include "tests/TestEnv.h"

namespace jvo {
namespace {

using test::SetEnvVar;

const std::string kKey = "[HKEY_CURRENT_USER\\SOFTWARE\\Tessaly Corporation\\JVO]\n";

TEST(ServiceUserFlag, RegistryExportRules) {
    struct Case {
        std::string text;
        bool flag;
    } cases[] = {
        {kKey + "\"ZQT User\"=dword:00000001\n", true},
        {"Windows Registry Editor Version 5.00\r\n\r\n"
         "[hkey_current_user\\software\\TESSALY CORPORATION\\jvo]\r\n"
         "\"Other\"=\"x\"\r\n\"zqt user\"=dword:ABCDEF00",
         true},
        {kKey + "\"ZQT User\"=dword:00000000\n", false},
        {kKey + "\"ZQT User\"=\"1\"\n", false},
        {kKey + "\"ZQT User\"=hex:01,00,00,00\n", false},
        {kKey + "\"ZQT User\"=dword:1\n", false},  // not 8 digits
        {kKey + "\"ZQT User\"=dword:0000000g\n", false},
        {kKey + "\"ZQT User\" = dword:00000001\n", false},  // blanks around "="
        {"\"ZQT User\"=dword:00000001\n" + kKey, false},    // not under the key
        {kKey + "[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n\"ZQT User\"=dword:00000001\n", false},
        {kKey + "garbage\n\"ZQT User\"=dword:00000001\n", false},
        {"\n" + std::string("Windows Registry Editor Version 5.00\n") + kKey +
             "\"ZQT User\"=dword:00000001\n",
         false},  // the version line is only allowed first
        {kKey + "\"ZQT User\"=dword:00000001\n\"ZQT User\"=dword:00000000\n", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseServiceUserFlag(c.text), c.flag) << c.text;
}

TEST(ServiceUserFlag, FileAndItsPlace) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps the flag in the registry (win32_tests)";
#endif
    const char* tmp = std::getenv("JVO_TEST_TMP");
    const std::string dir = std::string(tmp ? tmp : "/tmp") + "/xdg";
    std::filesystem::create_directories(dir + "/Tessaly Corporation");

    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    SetEnvVar("XDG_CONFIG_HOME", dir.c_str());
    const std::string path = ServiceUserFilePath();
    EXPECT_EQ(path, dir + "/Tessaly Corporation/JVO.conf");
    SetEnvVar("XDG_CONFIG_HOME", nullptr);
    SetEnvVar("HOME", "/home/someone");
    EXPECT_EQ(ServiceUserFilePath(), "/home/someone/.config/Tessaly Corporation/JVO.conf");
    if (oldXdg) SetEnvVar("XDG_CONFIG_HOME", savedXdg.c_str());

    std::remove(path.c_str());
    EXPECT_FALSE(ReadServiceUserFlag(path));
    std::ofstream(path, std::ios::binary) << kKey << "\"ZQT User\"=dword:00000002\r\n";
    EXPECT_TRUE(ReadServiceUserFlag(path));
    EXPECT_FALSE(ReadServiceUserFlag(dir));  // a folder is no file
}

}  // namespace
}  // namespace jvo
