#pragma once

// The work area of each monitor on an X11 desktop: the monitor less what the docked panels keep
// for themselves. Panels say so in _NET_WM_STRUT_PARTIAL (or the older _NET_WM_STRUT), as widths
// along the edges of the whole root window, and window managers keep other windows out of those
// bands. Not every panel is a window the manager lists: the taskbars and toolbars some managers
// draw themselves (icewm, fluxbox) and the bars a tiling manager docks (i3bar) are found among
// the root window's children instead. The manager's own _NET_WORKAREA, where it publishes one,
// bounds the area too.

#include "platform/monitors.h"

#include <array>
#include <chrono>
#include <optional>
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

// Each monitor's work area cut down further to the desktop's work area (the window manager's
// _NET_WORKAREA of the current desktop), where the two overlap; a monitor that the desktop's area
// misses altogether keeps its own.
std::vector<Monitor> monitorsWithin(std::vector<Monitor> monitors, const ScreenRect& desktopArea);

// The window manager's work area of the current desktop (_NET_WORKAREA at _NET_CURRENT_DESKTOP),
// when it publishes one.
std::optional<ScreenRect> readDesktopWorkArea(_XDisplay* display);

// The struts of the windows the window manager lists in _NET_CLIENT_LIST.
std::vector<Strut> readListedStruts(_XDisplay* display);

// The struts of the windows on the screen the window manager may not list: the mapped children of
// the root window and the windows up to two levels inside them (a reparenting manager's frames
// hold the panels it manages), whether anyone manages them or not. Two or three round trips per
// window on the screen, which under a manager with many windows per frame takes milliseconds.
std::vector<Strut> readUnlistedStruts(_XDisplay* display);

// The monitors of the display now (as FLTK knows them) with their work areas: less the struts of
// the listed panels, read afresh on each call, and of the unlisted ones, read again once the last
// reading is older than a second (a drag asks at every move of the pointer, and panels come and go
// rarely), and within readDesktopWorkArea; with no window manager and no panel, the bounds.
class MonitorReader {
public:
    std::vector<Monitor> read(_XDisplay* display);

private:
    std::vector<Strut> unlisted_;
    std::optional<std::chrono::steady_clock::time_point> unlistedReadAt_;
};

} // namespace dravix::fltk
