#pragma once
// The alarm colours of the main window's fields: red (255, 64, 64) with white text for an alarm,
// yellow (255, 255, 64) for a warning, white for the panel name without its flag, and the palette's
// own field colours otherwise, so the window follows a light or dark desktop. While the readings
// are stale every field, whatever its role, takes the palette's disabled colours.
#include <QColor>
#include <QPalette>

#include "monitor/DisplayModel.h"

class QWidget;

namespace jvo::monitor::qt {

constexpr QColor kAlarmBackground{255, 64, 64};
constexpr QColor kWarningBackground{255, 255, 64};

// The colours of stale data: the palette's disabled text and base. A palette that gives its
// disabled text the normal text colour gets a text half-way to the base, so that stale data never
// look live.
QColor StaleText(const QPalette& p);
QColor StaleBase(const QPalette& p);

// Colours `field` for `role`, greyed when `stale`; nothing happens when it already looks so,
// unless `force` (the palette changed).
void ApplyRole(QWidget* field, ColourRole role, bool stale = false, bool force = false);
// The role last applied (Normal for a field never coloured).
ColourRole AppliedRole(const QWidget* field);

}  // namespace jvo::monitor::qt
