#pragma once
// What the tests need from the system on every platform: a fresh folder of their own and a
// variable of their own process's environment.
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace jvo::test {

// Creates a new folder "<root>/<prefix>-<random>" (the root and its parents as needed) and returns
// its path; empty when none could be made.
inline std::string MakeUniqueDir(const std::string& root, const std::string& prefix) {
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    std::random_device seed;
    std::mt19937_64 random(seed());
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = root + "/" + prefix + "-";
        for (int i = 0; i < 8; ++i)
            path += kChars[random() % (sizeof kChars - 1)];
        if (std::filesystem::create_directory(path, ec)) return path;
    }
    return std::string();
}

// The folder that tests put their files under: $JVO_TEST_TMP, else the system's.
inline std::string TestTmpRoot() {
    const char* env = std::getenv("JVO_TEST_TMP");
    if (env && *env) return env;
    std::error_code ec;
    const auto tmp = std::filesystem::temp_directory_path(ec);
    return ec ? std::string("/tmp") : tmp.generic_string();
}

// Sets (or, with null, removes) a variable of this process's environment.
inline void SetEnvVar(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

}  // namespace jvo::test
