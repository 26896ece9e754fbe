#include "tests/support/x11/x_connection.h"

#include "platform/x11/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace dravix::x11test {

std::string describe(const Geometry& geometry) {
    std::ostringstream text;
    text << geometry.width << " x " << geometry.height << " at Left " << geometry.left << ", Top "
         << geometry.top;
    return text.str();
}

void PrintTo(const Geometry& geometry, std::ostream* out) {
    *out << describe(geometry);
}

namespace {

int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

std::optional<std::string> textProperty(Display* display, Window window, Atom property) {
    return x11::bytes(display, window, property, 4096);
}

std::optional<long> cardinalProperty(Display* display, Window window, Atom property) {
    const std::vector<long> values = x11::cardinals(display, window, property, 1, XA_CARDINAL);
    return values.size() == 1 ? std::optional<long>(values[0]) : std::nullopt;
}

std::vector<Window> childrenOf(Display* display, Window window) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &children, &count) != 0)
        result.assign(children, children + count);
    if (children != nullptr)
        XFree(children);
    return result;
}

// Walks the root's children and up to two levels below (window-manager frames), stopping at the
// first window on each branch for which isClient holds; of those, the viewable ones that `accept`
// takes are returned.
std::vector<Window> clientWindows(Display* display, const std::function<bool(Window)>& isClient,
                                  const std::function<bool(Window)>& accept) {
    auto viewable = [&](Window window) {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display, window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    };
    std::vector<Window> found;
    std::function<void(Window, int)> search = [&](Window window, int depth) {
        if (isClient(window)) {
            if (viewable(window) && accept(window))
                found.push_back(window);
            return;
        }
        if (depth < 3) {
            for (Window child : childrenOf(display, window))
                search(child, depth + 1);
        }
    };
    for (Window topLevel : childrenOf(display, DefaultRootWindow(display))) {
        if (viewable(topLevel))
            search(topLevel, 1);
    }
    return found;
}

// One channel of a TrueColor pixel in 8 bits.
std::uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

// Copies the XImage into the image with its top-left pixel at (x, y).
void copyPixels(XImage& from, const Visual& visual, Image& to, int x, int y) {
    for (int row = 0; row < from.height; ++row) {
        for (int column = 0; column < from.width; ++column) {
            const unsigned long pixel = XGetPixel(&from, column, row);
            to.set(x + column, y + row,
                   Rgb{channel(pixel, visual.red_mask), channel(pixel, visual.green_mask),
                       channel(pixel, visual.blue_mask)});
        }
    }
}

} // namespace

XConnection::XConnection() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr)
        throw std::runtime_error("cannot open the X display named by DISPLAY");
    XSetErrorHandler(ignoreXError);
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) {
        XCloseDisplay(display_);
        throw std::runtime_error("the X server has no XTEST extension");
    }
}

XConnection::~XConnection() {
    XCloseDisplay(display_);
}

std::vector<Window> XConnection::windowsTitled(const std::string& title, std::optional<pid_t> pid) {
    const Atom netWmName = XInternAtom(display_, "_NET_WM_NAME", False);
    const Atom netWmPid = XInternAtom(display_, "_NET_WM_PID", False);
    auto titled = [&](Window window) {
        return textProperty(display_, window, XA_WM_NAME) == title ||
               textProperty(display_, window, netWmName) == title;
    };
    auto ours = [&](Window window) {
        if (!pid)
            return true;
        const std::optional<long> owner = cardinalProperty(display_, window, netWmPid);
        return !owner || *owner == *pid;
    };
    return clientWindows(display_, titled, ours);
}

std::vector<Window> XConnection::windowsOfProcess(pid_t pid) {
    const Atom netWmPid = XInternAtom(display_, "_NET_WM_PID", False);
    auto hasOwner = [&](Window window) {
        return cardinalProperty(display_, window, netWmPid).has_value();
    };
    auto ours = [&](Window window) { return cardinalProperty(display_, window, netWmPid) == pid; };
    return clientWindows(display_, hasOwner, ours);
}

bool XConnection::overrideRedirect(Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window, &attributes) != 0 &&
           attributes.override_redirect != 0;
}

Window XConnection::transientFor(Window window) {
    Window owner = None;
    return XGetTransientForHint(display_, window, &owner) != 0 ? owner : None;
}

std::vector<long> XConnection::longs(Window window, const char* property) {
    return x11::cardinals(display_, window, XInternAtom(display_, property, False), 1 << 20);
}

// The size and the place come from two requests; the server is held between them so that a
// move-and-resize cannot fall in between and show a place and a size the window never had.
std::optional<Geometry> XConnection::geometry(Window window) {
    XGrabServer(display_);
    XWindowAttributes attributes;
    int rootX = 0;
    int rootY = 0;
    Window child = 0;
    const bool found = XGetWindowAttributes(display_, window, &attributes) != 0 &&
                       XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0,
                                             &rootX, &rootY, &child);
    XUngrabServer(display_);
    XFlush(display_);
    if (!found)
        return std::nullopt;
    return Geometry{rootX, rootY, attributes.width, attributes.height};
}

Screenshot XConnection::capture(const Geometry& area) {
    Screenshot shot;
    shot.image = Image(area.width, area.height);
    const int screen = DefaultScreen(display_);
    const int x0 = std::max(area.left, 0);
    const int y0 = std::max(area.top, 0);
    const int x1 = std::min(area.left + area.width, DisplayWidth(display_, screen));
    const int y1 = std::min(area.top + area.height, DisplayHeight(display_, screen));
    if (x0 >= x1 || y0 >= y1)
        return shot;
    XSync(display_, False);
    XImage* image =
        XGetImage(display_, DefaultRootWindow(display_), x0, y0, static_cast<unsigned>(x1 - x0),
                  static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (image == nullptr)
        return shot;
    copyPixels(*image, *DefaultVisual(display_, screen), shot.image, x0 - area.left, y0 - area.top);
    XDestroyImage(image);
    shot.visibleX0 = x0 - area.left;
    shot.visibleY0 = y0 - area.top;
    shot.visibleX1 = x1 - area.left;
    shot.visibleY1 = y1 - area.top;
    return shot;
}

std::optional<Screenshot> XConnection::captureWhenStill(const Geometry& area,
                                                        Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Screenshot last = capture(area);
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(Milliseconds(100));
        Screenshot next = capture(area);
        if (!compare(next, last.image))
            return next;
        last = std::move(next);
    }
    return std::nullopt;
}

std::optional<Image> XConnection::windowImage(Window window, int width, int height) {
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return std::nullopt;
    Image pixels(width, height);
    copyPixels(*image, *DefaultVisual(display_, DefaultScreen(display_)), pixels, 0, 0);
    XDestroyImage(image);
    return pixels;
}

void XConnection::movePointer(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
}

void XConnection::pressButton(Button button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
    XSync(display_, False);
}

void XConnection::releaseButton(Button button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    XSync(display_, False);
}

void XConnection::click(int x, int y, Button button) {
    movePointer(x, y);
    pressButton(button);
    releaseButton(button);
}

KeyCode XConnection::keycodeFor(unsigned long keysym) {
    if (const auto added = addedKeys_.find(keysym); added != addedKeys_.end())
        return added->second;
    if (const KeyCode code = XKeysymToKeycode(display_, keysym); code != 0)
        return code;
    // A spare keycode is one with no symbols at all; the server announces the change to every
    // client (MappingNotify) before the key events that follow it.
    int first = 0;
    int last = 0;
    XDisplayKeycodes(display_, &first, &last);
    int perKeycode = 0;
    KeySym* map =
        XGetKeyboardMapping(display_, static_cast<KeyCode>(first), last - first + 1, &perKeycode);
    KeyCode spare = 0;
    for (int code = last; code >= first && spare == 0 && map != nullptr; --code) {
        const KeySym* symbols = map + (code - first) * perKeycode;
        if (std::all_of(symbols, symbols + perKeycode,
                        [](KeySym symbol) { return symbol == NoSymbol; }))
            spare = static_cast<KeyCode>(code);
    }
    if (map != nullptr)
        XFree(map);
    if (spare == 0) {
        throw std::runtime_error("the keyboard map has no key for keysym " +
                                 std::to_string(keysym) + " and no spare keycode");
    }
    KeySym symbol = keysym;
    XChangeKeyboardMapping(display_, spare, 1, &symbol, 1);
    XSync(display_, False);
    addedKeys_[keysym] = spare;
    return spare;
}

void XConnection::pressKey(unsigned long keysym) {
    XTestFakeKeyEvent(display_, keycodeFor(keysym), True, CurrentTime);
    XSync(display_, False);
}

void XConnection::releaseKey(unsigned long keysym) {
    XTestFakeKeyEvent(display_, keycodeFor(keysym), False, CurrentTime);
    XSync(display_, False);
}

void XConnection::tapKey(unsigned long keysym) {
    pressKey(keysym);
    releaseKey(keysym);
}

void XConnection::tapKeyWith(unsigned long modifier, unsigned long keysym) {
    pressKey(modifier);
    tapKey(keysym);
    releaseKey(modifier);
}

void XConnection::focus(Window window) {
    XSetInputFocus(display_, window, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
}

Window XConnection::selectionOwner(const std::string& selection) {
    return XGetSelectionOwner(display_, XInternAtom(display_, selection.c_str(), False));
}

} // namespace dravix::x11test
