#pragma once

// How much larger the desktop wants everything drawn: GNOME and KDE set Xft.dpi in the X
// resources (the RESOURCE_MANAGER property of the root window, which Xlib reads when it opens the
// display) to 96 times their scale, 192 at a scale of 2.

namespace dravix::x11 {

// The whole factor for the resources as XResourceManagerString hands them over: Xft.dpi, matched
// as Xlib matches any resource (Xft*dpi counts too), through scaleForDpi; 1 when there are no
// resources, no Xft.dpi or a value that is not a number.
int scaleFromResources(const char* resources);

} // namespace dravix::x11
