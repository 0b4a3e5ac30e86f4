#pragma once
// The about box ("About Monitor"), in the Help menu: the program's title and build, and the unit's
// firmware build, hardware version ("Not Connected" until they were read) and schema. The log
// file's path is shown below.
#include <string>

#include "monitor/ConfigViews.h"
#include "qtcommon/AboutBox.h"

namespace jvo::monitor::qt {

class CAboutDlg final : public jvo::qt::AboutBox {
    Q_OBJECT
public:
    CAboutDlg(const AboutView& view, const std::string& logPath, QWidget* parent);
};

// The monitor's program icon (a cabinet with a green breaker).
QIcon MonitorIcon();

}  // namespace jvo::monitor::qt
