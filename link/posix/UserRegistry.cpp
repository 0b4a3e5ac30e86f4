// No registry on POSIX systems.
#include "link/UserRegistry.h"

namespace jvo {

RegistryRead ReadUserDword(const std::string&, const std::string&, uint32_t& value) {
    value = 0;
    return RegistryRead::NoRegistry;
}

}  // namespace jvo
