#pragma once
// The status icons of the breaker and subfeed lists, drawn in code at 16 x 16 (1x and 2x):
// image 0 carrying load (green), 1 warning (yellow), 2 alarm (red), 3 idle (grey). Breakers show
// a round lamp, subfeeds a square one, so the two lists can be told apart at a glance.
#include <QColor>
#include <QIcon>

namespace jvo::monitor::qt {

enum class IconSet { Breaker, Subfeed };

// The icon for a list and an image number 0..3 (others give the idle icon), greyed with the
// palette's disabled colours (as the style draws a disabled icon) for stale readings. UI thread.
QIcon StatusIcon(IconSet set, int image, bool stale = false);
// The fill colour of an image (for tests and the icon drawing).
QColor StatusColour(int image);

}  // namespace jvo::monitor::qt
