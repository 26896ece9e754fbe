#pragma once

#include "platform/desktop.h"

namespace dravix {

// The closed toggle resting at `resting`.
ScreenRect toggleAt(Place resting);
// The open strip of a toggle resting at `resting`: it grows upward from the toggle, which ends at
// its bottom, and widens to the right.
ScreenRect openStripAt(Place resting);

// The resting place nearest to `resting` at which the whole open strip lies inside the work
// area. In a work area too small for the strip the toggle itself stays inside, at the top left.
Place nearestWholePlace(Place resting, const ScreenRect& workArea);

} // namespace dravix
