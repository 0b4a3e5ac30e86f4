#pragma once
// A program's own settings: the INI file of the program's name under the platform's user
// configuration folder (~/.config/jvo/jvo-config.conf, ~/.config/jvo/jvo-monitor.conf). It holds
// the last folder of the file dialogs ([files], qtcommon/LastFolder.h) and the connect dialog's
// recent routes ([connect]). Nothing is written until the user chose a file or connected.
#include <QSettings>

#include "link/RecentRoutes.h"

namespace jvo::qt {

QSettings ProgramSettings();

// The recent routes in the program's settings: [connect] routes\1\kind=com, routes\1\port=5, ...
class SettingsRouteStore final : public RouteStore {
public:
    std::vector<Route> Load() override;
    void Save(const std::vector<Route>& routes) override;
};

}  // namespace jvo::qt
