#pragma once

// The work area of each monitor on an X11 desktop: the monitor less what the docked panels keep
// for themselves. Panels say so in _NET_WM_STRUT_PARTIAL (or the older _NET_WM_STRUT), as widths
// along the edges of the whole root window, and window managers keep other windows out of those
// bands; a panel that no window manager looks after keeps nothing.

#include "platform/monitors.h"

#include <array>
#include <span>
#include <vector>

struct _XDisplay;

namespace dravix::fltk {

// What one panel keeps, in _NET_WM_STRUT_PARTIAL's order: the widths at the left, right, top and
// bottom edges of the root window, then where each band starts and ends along its edge (left
// start y, left end y, right start y, right end y, top start x, top end x, bottom start x,
// bottom end x; the ends inclusive).
using Strut = std::array<long, 12>;

// A _NET_WM_STRUT (widths only) as the partial form: each band runs along the whole edge.
Strut strutAlongWholeEdges(const std::array<long, 4>& widths, int rootWidth, int rootHeight);

// Each monitor with its work area: its bounds less every band that reaches into it, taken from
// the side the band is docked at. A monitor that the bands cover entirely keeps an empty area at
// its edge rather than a negative one.
std::vector<Monitor> monitorsLessStruts(std::span<const ScreenRect> bounds, int rootWidth,
                                        int rootHeight, std::span<const Strut> struts);

// The monitors of the display now (as FLTK knows them) with their work areas read afresh from the
// panels the window manager lists in _NET_CLIENT_LIST; with no window manager, the bounds. One
// round trip per listed window, and one more for each that has only the older property.
std::vector<Monitor> readMonitors(_XDisplay* display);

} // namespace dravix::fltk
