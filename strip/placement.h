#pragma once

#include "platform/window_port.h"

namespace dravix {

// Screen rectangles for a desktop that shows every pixel `scale` times larger.
// The closed toggle resting at `resting`.
ScreenRect toggleAt(Place resting, int scale);
// The open strip of a toggle resting at `resting`: it grows upward from the toggle, which ends at
// its bottom, and widens to the right.
ScreenRect openStripAt(Place resting, int scale);

// The resting place nearest to `resting` at which the whole open strip lies inside the work
// area. In a work area too small for the strip the toggle itself stays inside, at the top left.
Place nearestWholePlace(Place resting, const ScreenRect& workArea, int scale);

} // namespace dravix
