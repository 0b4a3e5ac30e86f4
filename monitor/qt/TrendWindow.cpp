// The trend window of a build with Qt Charts.
#include "monitor/qt/TrendWindow.h"

#include "monitor/qt/TrendDlg.h"

namespace jvo::monitor::qt {

bool HaveTrendWindow() {
    return true;
}

TrendDlg* ShowTrendWindow(TrendDlg* window, const TrendBuffer& trend, const UnitConfig& config,
                          int panel, int row, QWidget* parent) {
    if (!window) window = new TrendDlg(trend, config, parent);
    window->ShowBreaker(panel, row);
    window->show();
    window->raise();
    return window;
}

}  // namespace jvo::monitor::qt
