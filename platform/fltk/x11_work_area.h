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
union _XEvent;

namespace dravix::fltk {

// What one panel keeps, in _NET_WM_STRUT_PARTIAL's order: the widths at the left, right, top and
// bottom edges of the root window, then where each band starts and ends along its edge (left
// start y, left end y, right start y, right end y, top start x, top end x, bottom start x,
// bottom end x; the ends inclusive).
using Strut = std::array<long, 12>;

// A _NET_WM_STRUT (widths only) as the partial form: each band runs along the whole edge.
Strut strutAlongWholeEdges(const std::array<long, 4>& widths, int rootWidth, int rootHeight);

// The strut of a panel from its two properties' values: _NET_WM_STRUT_PARTIAL when it holds all
// twelve, else _NET_WM_STRUT along whole edges when it holds all four; nothing when neither is
// whole (a newer property cut short counts as none).
std::optional<Strut> panelStrut(std::span<const long> partial, std::span<const long> plain,
                                int rootWidth, int rootHeight);

// Each monitor with its work area: its bounds less every band that reaches into it, taken from
// the side the band is docked at. A monitor that the bands cover entirely keeps an empty area at
// its edge rather than a negative one.
std::vector<Monitor> monitorsLessStruts(std::span<const ScreenRect> bounds, int rootWidth,
                                        int rootHeight, std::span<const Strut> struts);

// Each monitor's work area cut down further to the desktop's work area (the window manager's
// _NET_WORKAREA of the current desktop), where the two overlap; a monitor that the desktop's area
// misses altogether keeps its own.
std::vector<Monitor> monitorsWithin(std::vector<Monitor> monitors, const ScreenRect& desktopArea);

// Asks for the Xinerama extension's number without waiting for the answer, so that the first
// reading finds it there: called before another request whose answer is waited for anyway, it
// costs no round trip of its own.
void prefetchScreenExtension(_XDisplay* display);

// The monitors (the Xinerama screens, or the whole root window) with their work areas: less the
// struts of the panels the window manager lists in _NET_CLIENT_LIST and of those on the screen it
// may not list (the children of the root window, mapped, and, once a manager runs, the windows up
// to two levels inside those it does not list: a reparenting manager's frames hold the panels it
// manages), and within the window manager's _NET_WORKAREA of the current desktop; with no window
// manager and no panel, the bounds.
//
// Each step of the reading sends every request it has for all the windows it knows of before it
// waits for any answer, so that it takes at most five round trips whether the desktop holds two
// windows or a hundred, and one on a desktop with no other window (a first reading on a
// connection that has not asked for the Xinerama extension yet takes one more). A window is asked
// first only for the names of its properties, and for a panel's properties when it holds them, so
// that a window that is no panel costs one small answer. The answer is kept until the desktop says
// it has changed: the root window's _NET_WORKAREA, _NET_CLIENT_LIST, _NET_CURRENT_DESKTOP or
// _NET_SUPPORTING_WM_CHECK, its size, or a panel's strut, place or presence (the reader asks for
// the property and structure events of every window with a strut or of the dock type). A panel that
// no window manager lists and that appears later without any of these counts once the kept answer
// is older than refreshAfter, and only at a read that allows it (none during a drag).
class MonitorReader {
public:
    static constexpr std::chrono::seconds refreshAfter{10};

    // The monitors now; goes to the server only when something changed since the last reading
    // (or, with mayRefresh, when that reading is older than refreshAfter).
    std::vector<Monitor> read(_XDisplay* display, bool mayRefresh = true);

    // Looks at an event before the toolkit does: whether it changes the work areas, and whether
    // it came only because the reader asked for it (a panel's or the root window's structure
    // events), in which case it is the reader's alone and true is returned.
    bool noteEvent(const union _XEvent& event);

    // The root window's events were asked for anew by someone else; the reader asks again.
    void forget();

private:
    bool changes(const union _XEvent& event) const;
    std::vector<Monitor> readFromServer(_XDisplay* display);

    std::optional<std::vector<Monitor>> monitors_;
    std::chrono::steady_clock::time_point readAt_{};
    unsigned long firstRequestOfRead_ = 0;
    unsigned long root_ = 0;
    bool rootWatched_ = false;
    std::vector<unsigned long> watched_;   // sorted: the panels whose events the reader asked for
    std::array<unsigned long, 8> atoms_{}; // the properties read, and those that say they changed
};

} // namespace dravix::fltk
