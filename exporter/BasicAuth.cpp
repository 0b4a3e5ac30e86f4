#include "exporter/BasicAuth.h"

#include <crypt.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <strings.h>

#include <cstring>
#include <memory>

namespace jvo::exporter {

namespace {

constexpr size_t kRemembered = 64;

// Standard base64 (with padding) to bytes; false for anything else.
bool DecodeBase64(const std::string& in, std::string& out) {
    if (in.empty() || in.size() % 4 != 0 || in.size() > 4096) return false;
    std::string bytes(in.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                  reinterpret_cast<const unsigned char*>(in.data()),
                                  static_cast<int>(in.size()));
    if (n < 0) return false;
    size_t padding = 0;
    while (padding < 2 && in[in.size() - 1 - padding] == '=')
        ++padding;
    bytes.resize(static_cast<size_t>(n) - padding);
    out = std::move(bytes);
    return true;
}

// The crypt library's bcrypt of `password` with the salt and cost of `hash`, compared with it.
bool Matches(const std::string& password, const std::string& hash) {
    auto data = std::make_unique<crypt_data>();
    const char* out = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof *data);
    return out && std::strlen(out) == hash.size() &&
           CRYPTO_memcmp(out, hash.data(), hash.size()) == 0;
}

}  // namespace

BasicAuth::BasicAuth(const std::vector<std::pair<std::string, std::string>>& users) {
    for (const auto& [name, hash] : users)
        m_Users.emplace(name, hash);
    if (!users.empty()) m_Decoy = users.front().second;
}

bool BasicAuth::Allows(const char* authorization) {
    if (!Enabled()) return true;
    if (!authorization || strncasecmp(authorization, "Basic ", 6) != 0) return false;
    std::string encoded(authorization + 6);
    encoded.erase(0, encoded.find_first_not_of(' '));
    encoded.erase(encoded.find_last_not_of(' ') + 1);
    std::string pair;
    if (!DecodeBase64(encoded, pair)) return false;
    const size_t colon = pair.find(':');
    // crypt takes a C string: a password with a NUL byte in it is no password of ours.
    if (colon == std::string::npos || pair.find('\0') != std::string::npos) return false;
    const std::string user = pair.substr(0, colon);
    const std::string password = pair.substr(colon + 1);
    const auto it = m_Users.find(user);
    const std::string& hash = it == m_Users.end() ? m_Decoy : it->second;

    Digest digest{};
    const std::string keyed = user + '\0' + password + '\0' + hash;
    unsigned int length = 0;
    if (EVP_Digest(keyed.data(), keyed.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        return false;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (it != m_Users.end() && m_Passed.count(digest)) return true;
    }
    const bool ok = Matches(password, hash) && it != m_Users.end();
    if (ok) {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_Passed.insert(digest).second) {
            m_PassedOrder.push_back(digest);
            if (m_PassedOrder.size() > kRemembered) {
                m_Passed.erase(m_PassedOrder.front());
                m_PassedOrder.pop_front();
            }
        }
    }
    return ok;
}

}  // namespace jvo::exporter
