#pragma once

// One connection to the X server named by DISPLAY, seen as another program would see the screen:
// finding windows, their places and pixels, and real input through the XTest extension.
// (A file that includes GoogleTest must include it first: Xlib's macros break its templates.)

#include "tests/support/x11/image.h"
#include "tests/support/x11/process.h"

#include <X11/Xlib.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dravix::x11test {

// A window's place on the screen: Left and Top of its top-left corner in root coordinates.
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const Geometry&, const Geometry&) = default;
};
std::string describe(const Geometry& geometry);
void PrintTo(const Geometry& geometry, std::ostream* out);

// The X mouse buttons as XTest numbers them.
enum class Button { left = 1, middle = 2, right = 3 };

class XConnection {
public:
    // Throws std::runtime_error when there is no server or it has no XTEST extension. X errors
    // on this connection only fail the request that caused them: windows vanish while a test
    // asks about them.
    XConnection();
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* display() const { return display_; }

    // Every viewable top-level window whose title (WM_NAME or _NET_WM_NAME) is exactly `title`,
    // looking through window-manager frames too. A window that carries _NET_WM_PID is counted only
    // when that pid matches `pid` (when one is given).
    std::vector<Window> windowsTitled(const std::string& title,
                                      std::optional<pid_t> pid = std::nullopt);
    // Every viewable top-level window, whatever its title, whose _NET_WM_PID is `pid`.
    std::vector<Window> windowsOfProcess(pid_t pid);
    // The window's rectangle in root coordinates; nothing when it no longer exists.
    std::optional<Geometry> geometry(Window window);

    // Whether the window is override-redirect: a pop-up that no window manager handles.
    bool overrideRedirect(Window window);
    // The window it is transient for (WM_TRANSIENT_FOR); None when it names none.
    Window transientFor(Window window);

    // A property of 32-bit items (CARDINAL, ATOM, WINDOW, ...), each widened to a long as Xlib
    // hands them over; empty when the window has no such property.
    std::vector<long> longs(Window window, const char* property);

    // The pixels on the screen inside the rectangle, as far as it lies on the screen.
    Screenshot capture(const Geometry& area);
    // Captures the area until two captures 100 ms apart are the same, so that nothing is being
    // drawn there any more; that capture, or nothing when it still changed at the timeout.
    std::optional<Screenshot> captureWhenStill(const Geometry& area,
                                               Milliseconds timeout = Milliseconds(3000));
    // width x height pixels read from the window itself (not the screen) from its top-left
    // corner; nothing when it cannot be read.
    std::optional<Image> windowImage(Window window, int width, int height);

    // Real input: XTest events, each flushed to the server and synchronised.
    void movePointer(int x, int y);
    void pressButton(Button button);
    void releaseButton(Button button);
    void click(int x, int y, Button button);
    // A keysym the keyboard map lacks (é on a US map) is put on a spare keycode first, as a
    // keyboard layout with that key would have it.
    void pressKey(unsigned long keysym);
    void releaseKey(unsigned long keysym);
    void tapKey(unsigned long keysym);
    // Taps the key while the modifier key (XK_Control_L, say) is held.
    void tapKeyWith(unsigned long modifier, unsigned long keysym);
    // Gives the keyboard focus to the window, as a window manager would on a click; PointerRoot
    // makes keys follow the pointer again.
    void focus(Window window);

    // The window that owns the selection (e.g. "CLIPBOARD"); None when nobody does.
    Window selectionOwner(const std::string& selection);

private:
    KeyCode keycodeFor(unsigned long keysym);

    Display* display_ = nullptr;
    std::map<unsigned long, KeyCode> addedKeys_; // keysyms this connection put on spare keycodes
};

} // namespace dravix::x11test
