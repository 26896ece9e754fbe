#pragma once

// The strip's X window, made by the backend instead of by FLTK's Fl_X::make_xid. FLTK 1.3.8 marks
// every borderless window _NET_WM_STATE_SKIP_TASKBAR before it maps it, moves a window that
// reaches past the screen's edge onto the screen, and leaves the window's background unset;
// taking the state away after the map convinces only some panels, and a window manager that
// honours only the first place of a window never sees the one asked for. So the window is made
// here with everything a window manager and a panel read at the map already on it, then mapped,
// and handed to FLTK, which takes it as the window's own from then on.

#include "assets/picture.h"

#include <string>
#include <vector>

class Fl_Window;

namespace dravix::fltk {

// The sizes the window manager lets the window take (WM_NORMAL_HINTS), in screen pixels (the
// program's own times the scale). It only ever widens to take every size the program has given
// the window: a window manager applies hints that exclude the present size at once, at the
// present place, and may read them only after the program has replaced them, so a range fixed to
// each new size before the move to the new place briefly shows the new size at the old place.
// The user still cannot resize the window: the Motif hints take that function away.
class SizeRange {
public:
    SizeRange(int width, int height)
        : minWidth_(width), minHeight_(height), maxWidth_(width), maxHeight_(height) {}

    // Whether the range had to widen to take this size.
    bool widenTo(int width, int height);
    // Writes the range, with the window's place, to the window's hints.
    void write(Fl_Window& window) const;

private:
    int minWidth_, minHeight_, maxWidth_, maxHeight_;
};

struct TopLevelLook {
    std::string instanceName; // WM_CLASS: the program's name, then its class
    std::string className;
    Picture icon; // drawn at each icon size (see iconProperty)
};

// The window's icon (_NET_WM_ICON) at 16, 24, 32, 48 and 256 pixels square (see squareIcon). The
// map sets only the sizes up to 48, which panels read at once; drawing and sending the 256-pixel
// one, for the docks and switchers of dense screens, takes longer than the rest of the start, so
// it comes with this call once the first frame is up.
void addLargeIcon(Fl_Window& window, const TopLevelLook& look);

// Makes the X window of a top-level window that is not shown yet, at its place and size, maps it
// and hands it to FLTK: a normal window with no frame and no taskbar exception, on every
// workspace, its name, class,
// process, icon and the sizes it may take, a black background, and the input focus welcome. The
// caller then marks the window visible and shown as FLTK's own Fl_Window::show() would.
void mapTopLevel(Fl_Window& window, const TopLevelLook& look, const SizeRange& sizes);

} // namespace dravix::fltk
