#pragma once

#include "platform/place.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

// What the core asks of the one window it draws into, and what that window tells the core.
namespace dravix {

struct AccessibleEvent;
class AccessibleSource;

// Left and Top are screen pixels of the window's top-left corner; Width and Height are the
// program's own pixels, which the desktop shows scale() times larger.
struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

// A rectangle of screen pixels; right and bottom are exclusive.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    long long right() const { return static_cast<long long>(left) + width; }
    long long bottom() const { return static_cast<long long>(top) + height; }
    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// A width and a height in screen pixels.
struct PixelSize {
    int width = 0;
    int height = 0;

    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// Moves a coordinate without overflowing: positions read from a file may lie at the 32-bit ends.
inline int saturatingAdd(int coordinate, int delta) {
    const long long sum = static_cast<long long>(coordinate) + delta;
    if (sum > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (sum < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(sum);
}

// A composed picture of the whole window: 24-bit RGB, rows top to bottom, no padding.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// The window, its dialogs and tip, the tick and the end of the process. One per backend.
class WindowPort {
public:
    virtual ~WindowPort() = default;

    // The one window: every change takes effect at once.
    virtual void setGeometry(const WindowGeometry& geometry) = 0;
    virtual WindowGeometry geometry() const = 0;
    virtual void present(const Frame& frame) = 0;
    // The whole number by which the desktop enlarges every pixel of the program: 1, or 2 on a
    // screen of twice the usual density. Pointer coordinates arrive in the program's pixels.
    virtual int scale() const = 0;

    // The work area (the monitor less the panels docked on it) of the monitor that holds most
    // of `area`, or of the nearest monitor when none holds any of it.
    virtual ScreenRect workAreaNear(const ScreenRect& area) const = 0;

    // Modal dialogs; the 100 ms tick, when asked for, keeps arriving while they are up.
    virtual void showError(const std::string& text) = 0;
    // Returns the chosen path, or nothing when the user cancels. The name need not exist yet.
    virtual std::optional<std::string> chooseFile(const std::string& initialName) = 0;
    // A small note beside the window with its top-left corner at the place, above every other
    // window and taking no input; a new note replaces the old one. It shows at the size tipSize
    // gives for the text, all of it, wherever that puts it: the caller keeps it on the screen.
    virtual void showTip(const std::string& text, Place at) = 0;
    virtual void hideTip() = 0;
    // The size of the note that would show this text, border and padding included, in the font
    // and at the density of the window's monitor.
    virtual PixelSize tipSize(const std::string& text) = 0;

    // Whether the program needs the 100 ms tick: only while something moves. A window that is
    // not asked for it lets the program sleep; asked again, it ticks on the grid of
    // tick_grid.h. No ticks until the program asks.
    virtual void setTicking(bool ticking) = 0;
    virtual void exitProcess(int status) = 0;

    // Screen readers (platform/accessible.h): the window's nodes changed. A backend with no
    // bridge to a screen reader lets it pass.
    virtual void accessibleChanged(const AccessibleEvent&) {}
};

enum class MouseButton { left = 0, right = 1, middle = 2 };

// What a backend delivers to the main window, one event at a time on the UI thread.
// What a start finds when it claims the folder of the stored files for its strip: one strip runs
// per folder, since two would overwrite each other's slots.
enum class ClaimOutcome {
    held,    // the folder is this process's: the strip starts
    gaveWay, // a running strip holds it and was asked to come to the front: this start ends
    foreign, // something that is no strip for the folder holds the claim, and it was said so
};

class WindowEvents {
public:
    virtual ~WindowEvents() = default;

    virtual void activate() = 0;
    // Coordinates are the program's pixels from the window's top-left corner; they may lie
    // outside the window while a button is held.
    virtual void mouseDown(int x, int y, MouseButton button) = 0;
    virtual void mouseMove(int x, int y) = 0;
    virtual void mouseUp(int x, int y, MouseButton button) = 0;
    // Every key press, repeats included. The keys the window tells apart come as their Windows
    // virtual-key codes: the arrows, Escape and the digits of the top row and of the keypad; any
    // other key as some other non-zero code.
    virtual void keyDown(int virtualKey) = 0;
    virtual void tick() = 0; // every 100 ms while the program asks for it (setTicking)
    // A file dropped on the window at this point (the first one when several were dropped).
    virtual void fileDropped(int x, int y, const std::string& path) = 0;
    // Another window took the pointer away while a button was held: no release will come.
    virtual void captureLost() = 0;
    // The pointer left the window (or another window came between it and the pointer).
    virtual void pointerLeft() = 0;
    // The program was started again for the same stored files while this copy runs: the backend
    // has brought the window forward with the keyboard focus, and no modal box is up.
    virtual void anotherStart() = 0;
    // The answer to a launch that the system port left pending: it started, or it did not.
    virtual void launchStarted() = 0;
    virtual void launchFailed(const std::string& reason) = 0;
    // What a screen reader reads and presses (platform/accessible.h); nothing when the window
    // offers none.
    virtual AccessibleSource* accessibleSource() { return nullptr; }
};

} // namespace dravix
