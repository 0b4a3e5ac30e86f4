#pragma once
// CAboutDlg: "About JVO Configuration Tool" with the program's icon, the version line, and the
// log file's path.
#include <string>

#include "qtcommon/AboutBox.h"

namespace jvo::tool::qt {

// The program's icon: a breaker panel.
QIcon ToolIcon();

class CAboutDlg final : public jvo::qt::AboutBox {
    Q_OBJECT
public:
    CAboutDlg(const std::string& logPath, QWidget* parent);
};

}  // namespace jvo::tool::qt
