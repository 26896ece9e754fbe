#pragma once

#include "platform/window_port.h"

namespace dravix {

// The screen rectangle of the closed toggle resting at `resting`, on a desktop that shows every
// pixel `scale` times larger.
ScreenRect toggleAt(Place resting, int scale);

// The resting place nearest to `resting` at which the whole open strip lies inside the work
// area. In a work area too small for the strip the toggle itself stays inside, at the bottom left.
Place nearestWholePlace(Place resting, const ScreenRect& workArea, int scale);

} // namespace dravix
