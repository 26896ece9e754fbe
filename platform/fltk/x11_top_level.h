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

struct TopLevelLook {
    std::string instanceName; // WM_CLASS: the program's name, then its class
    std::string className;
    Picture icon; // drawn at each icon size (see iconProperty)
};

// _NET_WM_ICON for a picture: the picture at 16, 32 and 48 pixels square (see squareIcon), each
// as its width, its height and its 0xAARRGGBB pixels, one long per value as Xlib takes them.
std::vector<unsigned long> iconProperty(const Picture& picture);

// Makes the X window of a top-level window that is not shown yet, at its place and size, maps it
// and hands it to FLTK: a normal window with no frame and no taskbar exception, its name, class,
// process, icon and fixed size, a black background, and the input focus welcome. The caller
// then marks the window visible and shown as FLTK's own Fl_Window::show() would.
void mapTopLevel(Fl_Window& window, const TopLevelLook& look);

} // namespace dravix::fltk
