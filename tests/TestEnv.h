#pragma once
// What the tests need from the system on every platform: a fresh folder of their own and a
// variable of their own process's environment.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#undef ReplaceFile  // windows.h's other name of ReplaceFileW: base/ReplaceFile.h's is meant
#endif

namespace jvo::test {

// A path of std::filesystem from UTF-8 text, as every path of the programs is (a plain string
// would be read in the system's code page on Windows).
inline std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Creates a new folder "<root>/<prefix>-<random>" (the root and its parents as needed) and returns
// its path; empty when none could be made.
inline std::string MakeUniqueDir(const std::string& root, const std::string& prefix) {
    std::error_code ec;
    std::filesystem::create_directories(Utf8Path(root), ec);
    std::random_device seed;
    std::mt19937_64 random(seed());
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = root + "/" + prefix + "-";
        for (int i = 0; i < 8; ++i)
            path += kChars[random() % (sizeof kChars - 1)];
        if (std::filesystem::create_directory(Utf8Path(path), ec)) return path;
    }
    return std::string();
}

// The folder that tests put their files under: $JVO_TEST_TMP, else the system's.
inline std::string TestTmpRoot() {
    const char* env = std::getenv("JVO_TEST_TMP");
    if (env && *env) return env;
    std::error_code ec;
    const auto tmp = std::filesystem::temp_directory_path(ec);
    if (ec) return "/tmp";
    const std::u8string text = tmp.generic_u8string();
    return std::string(text.begin(), text.end());
}

// Sets (or, with null, removes) a variable of this process's environment.
inline void SetEnvVar(const char* name, const char* value) {
#ifdef _WIN32
    // Through the wide-character environment: the value is UTF-8 text.
    auto wide = [](const char* text) {
        std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), static_cast<int>(out.size()));
        if (!out.empty()) out.pop_back();  // the terminating zero
        return out;
    };
    _wputenv_s(wide(name).c_str(), wide(value ? value : "").c_str());
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

}  // namespace jvo::test
