#pragma once
// The trend window where the build has it. It is drawn with Qt Charts; a Qt without Charts (the
// Windows kit) builds the monitor without it, and the monitor then offers no trend at all (no menu
// item, no breaker context menu). TrendWindow.cpp or TrendWindowNone.cpp is built, as CMake finds
// Qt Charts or not.
#include <QWidget>

#include "config/UnitConfig.h"
#include "monitor/TrendBuffer.h"

namespace jvo::monitor::qt {

class TrendDlg;

// Whether this build has the trend window.
bool HaveTrendWindow();
// Shows breaker `row` (from 0) of `panel` in the trend window, made on first use (`window` is
// null then), and returns it; null without a trend window.
TrendDlg* ShowTrendWindow(TrendDlg* window, const TrendBuffer& trend, const UnitConfig& config,
                          int panel, int row, QWidget* parent);

}  // namespace jvo::monitor::qt
