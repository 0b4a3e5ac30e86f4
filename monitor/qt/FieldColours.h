#pragma once
// The alarm colours of the main window's fields: red (255, 64, 64) with white text for an alarm,
// yellow (255, 255, 64) for a warning, white for the panel name without its flag, and the palette's
// own field colours otherwise, so the window follows a light or dark desktop.
#include <QColor>

#include "monitor/DisplayModel.h"

class QWidget;

namespace jvo::monitor::qt {

constexpr QColor kAlarmBackground{255, 64, 64};
constexpr QColor kWarningBackground{255, 255, 64};

// Colours `field` for `role`; nothing happens when it already has that role.
void ApplyRole(QWidget* field, ColourRole role);
// The role last applied (Normal for a field never coloured).
ColourRole AppliedRole(const QWidget* field);

}  // namespace jvo::monitor::qt
