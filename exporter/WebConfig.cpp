#include "exporter/WebConfig.h"

#include <crypt.h>
#include <yaml-cpp/yaml.h>

#include <set>

namespace jvo::exporter {

namespace {

struct AuthName {
    const char* name;
    ClientAuth value;
};
constexpr AuthName kAuthNames[] = {
    {"NoClientCert", ClientAuth::None},
    {"RequestClientCert", ClientAuth::Request},
    {"RequireAnyClientCert", ClientAuth::RequireAny},
    {"VerifyClientCertIfGiven", ClientAuth::VerifyIfGiven},
    {"RequireAndVerifyClientCert", ClientAuth::RequireAndVerify},
};

std::string Where(const YAML::Node& node) {
    const YAML::Mark mark = node.Mark();
    return mark.is_null() ? std::string() : "line " + std::to_string(mark.line + 1) + ": ";
}

// A mapping's entries as scalar key and node; false on a key that is not a plain text or is
// given twice.
bool Entries(const YAML::Node& map, const std::string& what,
             std::vector<std::pair<std::string, YAML::Node>>& out, std::string& error) {
    if (map.IsNull()) return true;
    if (!map.IsMap()) {
        error = Where(map) + what + " must be a mapping of keys to values";
        return false;
    }
    std::set<std::string> seen;
    for (const auto& entry : map) {
        if (!entry.first.IsScalar()) {
            error = Where(entry.first) + what + " has a key that is not a name";
            return false;
        }
        const std::string key = entry.first.Scalar();
        if (!seen.insert(key).second) {
            error = Where(entry.first) + "'" + key + "' is given twice";
            return false;
        }
        out.emplace_back(key, entry.second);
    }
    return true;
}

bool Text(const std::string& key, const YAML::Node& value, std::string& out, std::string& error) {
    if (value.IsNull()) {
        out.clear();
        return true;
    }
    if (!value.IsScalar()) {
        error = Where(value) + "'" + key + "' must be a text";
        return false;
    }
    out = value.Scalar();
    return true;
}

std::string InFolder(const std::string& folder, const std::string& file) {
    if (file.empty() || file[0] == '/' || folder.empty() || folder == ".") return file;
    return folder + "/" + file;
}

bool ParseTls(const YAML::Node& node, const std::string& folder, WebConfig::Tls& tls,
              std::string& error) {
    std::vector<std::pair<std::string, YAML::Node>> entries;
    if (!Entries(node, "tls_server_config", entries, error)) return false;
    for (const auto& [key, value] : entries) {
        std::string text;
        if (!Text(key, value, text, error)) return false;
        if (key == "cert_file") {
            tls.m_CertFile = InFolder(folder, text);
        } else if (key == "key_file") {
            tls.m_KeyFile = InFolder(folder, text);
        } else if (key == "client_ca_file") {
            tls.m_ClientCaFile = InFolder(folder, text);
        } else if (key == "client_auth_type") {
            bool known = text.empty();
            for (const AuthName& a : kAuthNames)
                if (text == a.name) {
                    tls.m_ClientAuth = a.value;
                    known = true;
                }
            if (!known) {
                error = Where(value) + "client_auth_type '" + text +
                        "' is none of NoClientCert, RequestClientCert, RequireAnyClientCert, "
                        "VerifyClientCertIfGiven, RequireAndVerifyClientCert";
                return false;
            }
        } else {
            error = Where(value) + "unknown key 'tls_server_config." + key +
                    "' (known: cert_file, key_file, client_ca_file, client_auth_type)";
            return false;
        }
    }
    if (tls.m_CertFile.empty() || tls.m_KeyFile.empty()) {
        error = Where(node) + "tls_server_config needs both cert_file and key_file";
        return false;
    }
    const bool verifies = tls.m_ClientAuth == ClientAuth::VerifyIfGiven ||
                          tls.m_ClientAuth == ClientAuth::RequireAndVerify;
    if (verifies && tls.m_ClientCaFile.empty()) {
        error = Where(node) + "client_auth_type " +
                (tls.m_ClientAuth == ClientAuth::VerifyIfGiven ? "VerifyClientCertIfGiven"
                                                               : "RequireAndVerifyClientCert") +
                " needs client_ca_file";
        return false;
    }
    if (!tls.m_ClientCaFile.empty() && tls.m_ClientAuth == ClientAuth::None) {
        error = Where(node) +
                "client_ca_file is given, but client_auth_type asks for no client "
                "certificate";
        return false;
    }
    return true;
}

// "$2a$", "$2b$" or "$2y$" and a setting the crypt library accepts.
bool IsBcrypt(const std::string& hash) {
    if (hash.size() < 7 || hash.compare(0, 2, "$2") != 0 || hash[3] != '$') return false;
    if (hash[2] != 'a' && hash[2] != 'b' && hash[2] != 'y') return false;
    return crypt_checksalt(hash.c_str()) == CRYPT_SALT_OK;
}

bool ParseUsers(const YAML::Node& node, WebConfig& config, std::string& error) {
    std::vector<std::pair<std::string, YAML::Node>> entries;
    if (!Entries(node, "basic_auth_users", entries, error)) return false;
    for (const auto& [user, value] : entries) {
        std::string hash;
        if (!Text(user, value, hash, error)) return false;
        if (user.empty() || user.find(':') != std::string::npos) {
            error = Where(value) + "the user name '" + user + "' is empty or holds a ':'";
            return false;
        }
        if (!IsBcrypt(hash)) {
            error = Where(value) + "the password of user '" + user +
                    "' is not a bcrypt hash ($2y$..., as htpasswd -B makes it)";
            return false;
        }
        config.m_Users.emplace_back(user, hash);
    }
    return true;
}

}  // namespace

bool ParseWebConfig(const std::string& text, const std::string& source, const std::string& folder,
                    WebConfig& config, std::string& error) {
    config = WebConfig{};
    try {
        const YAML::Node root = YAML::Load(text);
        std::vector<std::pair<std::string, YAML::Node>> entries;
        if (!Entries(root, "the web configuration", entries, error)) {
            error = source + ": " + error;
            return false;
        }
        for (const auto& [key, value] : entries) {
            bool ok;
            if (key == "tls_server_config") {
                config.m_Tls.emplace();
                ok = ParseTls(value, folder, *config.m_Tls, error);
            } else if (key == "basic_auth_users") {
                ok = ParseUsers(value, config, error);
            } else {
                error = Where(value) + "unknown key '" + key +
                        "' (known: tls_server_config, basic_auth_users)";
                ok = false;
            }
            if (!ok) {
                error = source + ": " + error;
                return false;
            }
        }
    } catch (const YAML::Exception& e) {
        error = source + ": not YAML: " + e.what();
        return false;
    }
    return true;
}

}  // namespace jvo::exporter
