#include "proxy/BackendFactory.h"

namespace jvo {

// No backend is built in yet: the options that choose one (--com N, --device PATH) come with the
// backends themselves.
int ParseBackendArgs(int, const char* const*, int, ProxyProgramOptions&, std::string&) {
    return 0;
}

const char* BackendUsage() {
    return "";
}

std::unique_ptr<IUnitBackend> MakeUnitBackend(const ProxyProgramOptions&, std::string& error) {
    error = "no unit backend is available in this build";
    return nullptr;
}

}  // namespace jvo
