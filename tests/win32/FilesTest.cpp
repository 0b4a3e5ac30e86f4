#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/Files.h"
#include "base/ReplaceFile.h"
#include "link/Tls.h"
#include "tests/TestEnv.h"

namespace jvo {
namespace {

std::string ReadAll(const std::string& path) {
    std::string text;
    if (std::FILE* f = OpenStdFile(path, "rb")) {
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

// Names with letters outside the system's code page reach the wide-character calls intact.
TEST(Win32Files, Utf8NamesSaveReplaceAndRename) {
    const std::string dir = test::MakeUniqueDir(test::TestTmpRoot(), "Zähler-Ω");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/Schaltschrank Süd ⚡.jvo.cfg";
    ASSERT_TRUE(ReplaceFile(path, "first"));
    EXPECT_EQ(ReadAll(path), "first");
    EXPECT_EQ(FileSize(path), 5);
    ASSERT_TRUE(ReplaceFile(path, std::string("second\n\0x", 9)));  // binary, not text
    EXPECT_EQ(ReadAll(path), std::string("second\n\0x", 9));

    const std::string other = dir + "/ältere.log";
    std::FILE* f = OpenStdFile(other, "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("old", f);
    std::fclose(f);
    ASSERT_TRUE(RenameOver(path, other));  // replaces what is there, as rename() does on POSIX
    EXPECT_EQ(ReadAll(other), std::string("second\n\0x", 9));
    EXPECT_EQ(KindOf(path), PathKind::Missing);
    EXPECT_FALSE(RenameOver(path, other));  // nothing left to rename
    EXPECT_TRUE(RemoveFile(other));
}

TEST(Win32Files, TheStateFolderIsTheUsersLocalAppData) {
    const char* saved = std::getenv("LOCALAPPDATA");
    const std::string keep = saved ? saved : "";
    test::SetEnvVar("LOCALAPPDATA", "C:\\Users\\Grüße\\AppData\\Local");
    EXPECT_EQ(StateFolder(), "C:\\Users\\Grüße\\AppData\\Local");
    test::SetEnvVar("LOCALAPPDATA", keep.c_str());
}

TEST(Win32Tls, TlsIsRefusedWithItsReason) {
    EXPECT_FALSE(TlsAvailable());
    EXPECT_NE(TlsUnavailableReason().find("OpenSSL"), std::string::npos);
    std::string error;
    EXPECT_EQ(MakeTlsServerContext(TlsFiles{}, error), nullptr);
    EXPECT_EQ(error, TlsUnavailableReason());
}

}  // namespace
}  // namespace jvo
