#pragma once

#include "platform/window_port.h"

#include <span>

namespace dravix {

struct Monitor {
    ScreenRect bounds;
    ScreenRect workArea; // the bounds less the panels docked on this monitor
};

// The monitor that holds most of `area`, or the nearest one when none holds any of it; the first
// of equals. `monitors` must not be empty.
const Monitor& monitorFor(std::span<const Monitor> monitors, const ScreenRect& area);

} // namespace dravix
