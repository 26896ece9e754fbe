#include "platform/fltk/x11_top_level.h"

#include "platform/fltk/fltk_internals.h"
#include "platform/icon.h"

// Fl_X, FLTK's record of a window's X side, is declared only for code that asks for it.
#define FL_INTERNALS
#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <initializer_list>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

namespace dravix::fltk {

namespace {

// The sizes panels, window switchers and docks ask for, up to a dense screen's dock; the map sets
// the first four.
constexpr int iconSizes[] = {16, 24, 32, 48, 256};
constexpr std::size_t iconSizesAtMap = 4;
constexpr unsigned long allDesktops = 0xFFFFFFFF; // _NET_WM_DESKTOP's "on every desktop"
constexpr Atom xdndVersion = 4; // XdndAware holds the version as an ATOM, as the protocol has it

// The events FLTK 1.3.8 asks for on its own top-level windows (Fl_x.cxx, XEventMask).
constexpr long toolkitEventMask = ExposureMask | StructureNotifyMask | KeyPressMask |
                                  KeyReleaseMask | KeymapStateMask | FocusChangeMask |
                                  ButtonPressMask | ButtonReleaseMask | EnterWindowMask |
                                  LeaveWindowMask | PropertyChangeMask | PointerMotionMask;

// The Motif hints: no decorations, and every function but resizing and maximizing.
constexpr long motifFunctionsAndDecorations = 1 | 2;
constexpr long motifAllButResizeAndMaximize = 1 | 2 | 16;

void setAtoms(Display* display, Window window, const char* property,
              std::initializer_list<const char*> names) {
    std::vector<Atom> atoms;
    for (const char* name : names)
        atoms.push_back(XInternAtom(display, name, False));
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
}

void setCardinals(Display* display, Window window, const char* property,
                  const std::vector<unsigned long>& values) {
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
}

} // namespace

bool SizeRange::widenTo(int width, int height) {
    const SizeRange before = *this;
    minWidth_ = std::min(minWidth_, width);
    minHeight_ = std::min(minHeight_, height);
    maxWidth_ = std::max(maxWidth_, width);
    maxHeight_ = std::max(maxHeight_, height);
    return minWidth_ != before.minWidth_ || minHeight_ != before.minHeight_ ||
           maxWidth_ != before.maxWidth_ || maxHeight_ != before.maxHeight_;
}

// The place and size are the window's on the screen; Static gravity makes the place that of the
// window itself rather than of a frame around it.
void SizeRange::write(Fl_Window& window) const {
    XSizeHints* size = XAllocSizeHints();
    size->flags = USPosition | PPosition | PSize | PMinSize | PMaxSize | PWinGravity;
    size->x = window.x();
    size->y = window.y();
    size->width = window.w();
    size->height = window.h();
    size->min_width = minWidth_;
    size->min_height = minHeight_;
    size->max_width = maxWidth_;
    size->max_height = maxHeight_;
    size->win_gravity = StaticGravity;
    XSetWMNormalHints(fl_display, fl_xid(&window), size);
    XFree(size);
}

namespace {

// Each size as its width, its height and its 0xAARRGGBB pixels, one long per value as Xlib takes
// them.
void setIcon(Display* display, Window window, const Picture& picture, std::span<const int> sizes) {
    std::size_t length = 0;
    for (const int size : sizes)
        length += 2 + static_cast<std::size_t>(size) * size;
    std::vector<unsigned long> property;
    property.reserve(length);
    for (const int size : sizes) {
        property.push_back(static_cast<unsigned long>(size));
        property.push_back(static_cast<unsigned long>(size));
        for (const std::uint32_t pixel : squareIcon(picture, size))
            property.push_back(pixel);
    }
    setCardinals(display, window, "_NET_WM_ICON", property);
}

} // namespace

void addLargeIcon(Fl_Window& window, const TopLevelLook& look) {
    if (window.shown())
        setIcon(fl_display, fl_xid(&window), look.icon, iconSizes);
}

namespace {

// The X window, made as FLTK would make it, but black and anchored at its bottom-left corner, and
// given to FLTK as the window's own.
Window createTopLevel(Display* display, Fl_Window& window) {
    const int width = window.w() > 0 ? window.w() : 1;
    const int height = window.h() > 0 ? window.h() : 1;

    XSetWindowAttributes attributes{};
    attributes.event_mask = toolkitEventMask;
    attributes.colormap = fl_colormap;
    attributes.border_pixel = 0;
    // Black where nothing is drawn yet: the server fills parts that a resize uncovers with it
    // before the next frame arrives, so they never flash white or show what lay behind.
    attributes.background_pixel = fl_xpixel(FL_BLACK);
    // The strip grows upward and then to the right, and shrinks the other way, always about its
    // bottom-left corner, where the toggle sits; the server keeps what is drawn there in place
    // across a resize instead of clearing the whole window.
    attributes.bit_gravity = SouthWestGravity;
    const Window xid = XCreateWindow(
        display, RootWindow(display, fl_screen), window.x(), window.y(),
        static_cast<unsigned>(width), static_cast<unsigned>(height), 0, fl_visual->depth,
        InputOutput, fl_visual->visual,
        CWEventMask | CWColormap | CWBorderPixel | CWBackPixel | CWBitGravity, &attributes);
    DRAVIX_FLTK_INTERNALS_CHECKED(
        "declares Fl_X::set_xid with FL_INTERNALS, that it makes an X window made outside FLTK "
        "the window's own as Fl_X::make_xid does after its XCreateWindow, and that FLTK asks for "
        "the events of toolkitEventMask (Fl_x.cxx, XEventMask) on its top-level windows");
    Fl_X::set_xid(&window, xid);
    return xid;
}

// The ICCCM properties: input, first state, class, size hints and names.
void setClientProperties(Display* display, Window xid, Fl_Window& window, const TopLevelLook& look,
                         const SizeRange& sizes) {
    // Like any new window, it takes the input focus when it appears.
    XWMHints* hints = XAllocWMHints();
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XClassHint* classes = XAllocClassHint();
    std::string instance = look.instanceName;
    std::string className = look.className;
    classes->res_name = instance.data();
    classes->res_class = className.data();
    // Also WM_CLIENT_MACHINE and WM_LOCALE_NAME, which make sense of _NET_WM_PID.
    XSetWMProperties(display, xid, nullptr, nullptr, nullptr, 0, nullptr, hints, classes);
    XFree(classes);
    XFree(hints);
    sizes.write(window);
    window.label(window.label(), window.iconlabel()); // WM_NAME, _NET_WM_NAME and icon names
}

// The close request, the EWMH and Motif properties that make the strip a borderless window on
// every workspace, the icon and the drop target.
void setStripProperties(Display* display, Window xid, const TopLevelLook& look) {
    Atom closeRequest = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, xid, &closeRequest, 1);
    setCardinals(display, xid, "_NET_WM_PID", {static_cast<unsigned long>(::getpid())});
    setAtoms(display, xid, "_NET_WM_WINDOW_TYPE", {"_NET_WM_WINDOW_TYPE_NORMAL"});
    // On every workspace, as a panel or a dock is: the desktop number that means all of them, and
    // the sticky state for managers that read only that. Neither takes the taskbar entry away.
    setCardinals(display, xid, "_NET_WM_DESKTOP", {allDesktops});
    setAtoms(display, xid, "_NET_WM_STATE", {"_NET_WM_STATE_STICKY"});
    const Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    const long motif[5] = {motifFunctionsAndDecorations, motifAllButResizeAndMaximize, 0, 0, 0};
    XChangeProperty(display, xid, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
    setIcon(display, xid, look.icon, std::span(iconSizes).first(iconSizesAtMap));
    // Files dropped from a file manager come through XDND, which FLTK speaks up to version 4;
    // FLTK marks the windows it makes itself the same way.
    const Atom version = xdndVersion;
    XChangeProperty(display, xid, XInternAtom(display, "XdndAware", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&version), 1);
}

} // namespace

void mapTopLevel(Fl_Window& window, const TopLevelLook& look, const SizeRange& sizes) {
    Display* const display = fl_display;
    const Window xid = createTopLevel(display, window);
    setClientProperties(display, xid, window, look, sizes);
    setStripProperties(display, xid, look);
    XMapWindow(display, xid);
}

} // namespace dravix::fltk
