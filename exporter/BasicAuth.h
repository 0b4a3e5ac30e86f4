#pragma once
// HTTP basic authentication against the web configuration's basic_auth_users: the password is
// checked against the user's bcrypt hash by the system's crypt library. A bcrypt check takes tens
// of milliseconds by design, so each user and password that passed is remembered (as a SHA-256
// digest, never in clear) and a scrape that repeats it is not checked again. An unknown user costs
// the same check as a known one, so that the time taken tells nothing about which names exist.
#include <array>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace jvo::exporter {

class BasicAuth {
public:
    explicit BasicAuth(const std::vector<std::pair<std::string, std::string>>& users);

    // False when no user is configured: every request is let in.
    bool Enabled() const { return !m_Users.empty(); }
    // `authorization` is the request's Authorization header, null when it has none. True when
    // it is "Basic" with a configured user and that user's password.
    bool Allows(const char* authorization);

private:
    using Digest = std::array<unsigned char, 32>;
    std::map<std::string, std::string> m_Users;  // name to bcrypt hash
    std::string m_Decoy;                         // the hash checked for an unknown user
    std::mutex m_Lock;                           // the remembered digests
    std::set<Digest> m_Passed;
    std::deque<Digest> m_PassedOrder;  // oldest first, to forget when too many
};

}  // namespace jvo::exporter
