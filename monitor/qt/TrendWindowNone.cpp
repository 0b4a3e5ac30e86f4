// A build without Qt Charts has no trend window; the monitor offers none.
#include "monitor/qt/TrendWindow.h"

namespace jvo::monitor::qt {

bool HaveTrendWindow() {
    return false;
}

TrendDlg* ShowTrendWindow(TrendDlg*, const TrendBuffer&, const UnitConfig&, int, int, QWidget*) {
    return nullptr;
}

}  // namespace jvo::monitor::qt
