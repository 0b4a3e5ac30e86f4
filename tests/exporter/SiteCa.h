#pragma once
// A site CA and its certificates, made with the openssl commands the README gives: the server's
// for "localhost" and 127.0.0.1, a client's ("prometheus"), an expired client's, and a second CA
// with a client of its own that the site does not trust. And bcrypt hashes for basic_auth_users.
#include <crypt.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace jvo::test {

// The README's recipe, for one host and one client; `days` -1 makes an expired client.
inline std::string SiteCaCommands() {
    return R"(set -e
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 3650 \
    -subj "/CN=JVO site CA" -keyout ca.key -out ca.crt \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
server() {  # HOST SUBJECT-ALT-NAMES
    printf 'subjectAltName=%s\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n' "$2" > "$1.ext"
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$1" \
        -keyout "$1.key" -out "$1.csr"
    openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 825 \
        -extfile "$1.ext" -out "$1.crt"
}
client() {  # NAME [DAYS]
    printf 'extendedKeyUsage=clientAuth\nbasicConstraints=CA:FALSE\n' > "$1.ext"
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$1" \
        -keyout "$1.key" -out "$1.csr"
    openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days "${2:-825}" \
        -extfile "$1.ext" -out "$1.crt"
}
)";
}

// Makes dir/ca.crt, localhost.{crt,key}, prometheus.{crt,key}, expired.{crt,key} and
// dir/other/{ca.crt,stranger.crt,stranger.key}. False when openssl failed.
// A bcrypt hash as htpasswd -B writes it ($2y$), at the lowest cost to keep the test quick.
inline std::string Bcrypt(const std::string& password) {
    char salt[CRYPT_GENSALT_OUTPUT_SIZE];
    crypt_data data{};
    if (!crypt_gensalt_rn("$2y$", 4, nullptr, 0, salt, sizeof salt)) return {};
    const char* hash = crypt_rn(password.c_str(), salt, &data, sizeof data);
    return hash ? hash : "";
}

inline bool MakeSiteCa(const std::string& dir) {
    std::ofstream(dir + "/make-certs.sh") << "umask 077\n"
                                          << SiteCaCommands()
                                          << "server localhost DNS:localhost,IP:127.0.0.1\n"
                                             "client prometheus\n"
                                             "client expired -1\n"
                                             "mkdir -p other && cd other\n"
                                          << SiteCaCommands() << "client stranger\n";
    const std::string command = "cd '" + dir + "' && bash make-certs.sh >openssl.log 2>&1";
    return std::system(command.c_str()) == 0;
}

}  // namespace jvo::test
