#include "link/RecentRoutes.h"

#include <algorithm>

#include "base/FormatStr.h"
#include "link/PortDirectory.h"

namespace jvo {

namespace {

std::string BareName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool Route::Usable() const {
    switch (m_Kind) {
        case COM:
            return m_Port >= kMinComPort && m_Port <= kMaxComPort;
        case DEVICE:
            return !m_Device.empty();
        case PROXY:
            return !m_Host.empty();
    }
    return false;
}

std::string RouteLabel(const Route& route) {
    switch (route.m_Kind) {
        case Route::COM:
            return FormatStr("COM%d", route.m_Port);
        case Route::DEVICE:
            return route.m_Device;
        case Route::PROXY:
            break;
    }
    std::string label = "proxy " + route.m_Host;
    std::vector<std::string> files;
    if (!route.m_Tls.ca.empty()) files.push_back("CA " + BareName(route.m_Tls.ca));
    if (!route.m_Tls.cert.empty()) files.push_back("certificate " + BareName(route.m_Tls.cert));
    if (!route.m_Tls.key.empty()) files.push_back("key " + BareName(route.m_Tls.key));
    for (size_t i = 0; i < files.size(); ++i)
        label += (i == 0 ? " (" : ", ") + files[i];
    if (!files.empty()) label += ")";
    return label;
}

RecentRoutes::RecentRoutes(const std::vector<Route>& routes) {
    // Oldest first, so that each Use puts the more recent ones before it.
    for (auto it = routes.rbegin(); it != routes.rend(); ++it)
        if (it->Usable()) Use(*it);
}

void RecentRoutes::Use(const Route& route) {
    if (!route.Usable()) return;
    m_Routes.erase(std::remove(m_Routes.begin(), m_Routes.end(), route), m_Routes.end());
    m_Routes.insert(m_Routes.begin(), route);
    if (m_Routes.size() > kMax) m_Routes.resize(kMax);
}

}  // namespace jvo
