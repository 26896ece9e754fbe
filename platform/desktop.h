#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravix {

// Left and Top are screen pixels of the window's top-left corner; Width and Height are the
// program's own pixels, which the desktop shows scale() times larger.
struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const WindowGeometry&, const WindowGeometry&) = default;
};

// Where a window rests: screen pixels of its top-left corner.
struct Place {
    int left = 0;
    int top = 0;

    friend bool operator==(const Place&, const Place&) = default;
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

// Why a file step failed, in the categories the user is told about.
enum class FileFailure {
    none,
    notFound,
    pathNotFound,
    tooManyOpenFiles,
    accessDenied,
    tooLarge, // a stored file over maxStoredFileSize
    other
};

// No stored file is larger: twenty lines of the longest paths stay under 100 KiB. A reader
// reads no more than this and one byte, so a huge or endless file costs no more than a small one.
inline constexpr std::size_t maxStoredFileSize = 1024 * 1024;

struct FileStatus {
    FileFailure failure = FileFailure::none;
    int platformCode = 0; // the system's own error number, shown for FileFailure::other

    bool ok() const { return failure == FileFailure::none; }
};

// Everything the core asks of the desktop it runs on. One implementation per backend.
class Desktop {
public:
    virtual ~Desktop() = default;

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
    // window and taking no input; a new note replaces the old one.
    virtual void showTip(const std::string& text, Place at) = 0;
    virtual void hideTip() = 0;

    // Files.
    virtual std::string executablePath() const = 0;
    virtual char pathSeparator() const = 0;
    // The user's own folder for the program's settings ($XDG_CONFIG_HOME/dravix,
    // %LOCALAPPDATA%\Dravix), ending in a separator; it need not exist yet.
    virtual std::string userSettingsFolder() const = 0;
    // Whether anything (a file, a folder, a link) is at the path.
    virtual bool exists(const std::string& path) const = 0;
    // Whether the user may create a file in the folder.
    virtual bool folderWritable(const std::string& folder) const = 0;
    // Reads the whole file. Anything but a regular file (a folder, a FIFO, a device) gives
    // accessDenied without blocking; a file over maxStoredFileSize gives tooLarge.
    virtual FileStatus readFile(const std::string& path, std::string& contents) = 0;
    // Replaces the whole file so that a failure leaves the old content in place. A file the user
    // may not write gives accessDenied and stays as it is; a symbolic link stays and its target
    // is replaced; the file keeps its mode, owner and extended attributes where the user may set
    // them. Missing folders on the way are created.
    virtual FileStatus replaceFile(const std::string& path, std::string_view contents) = 0;

    // Processes and time.
    // Starts the file in workingFolder: a program directly, a desktop entry as its application,
    // anything else with the desktop's default handler; waits for nothing the started program
    // does. Returns the system's reason ("Permission denied") when it cannot be started, or
    // nothing. A backend that learns of the failure only later delivers launchFailed instead.
    virtual std::optional<std::string> launch(const std::string& path,
                                              const std::string& workingFolder) = 0;
    virtual int millisecondOfDay() const = 0; // 0 to 999
    // Whether the program needs the 100 ms tick: only while something moves. A desktop that is
    // not asked for it lets the program sleep; asked again, it ticks on the grid of
    // tick_grid.h. No ticks until the program asks.
    virtual void setTicking(bool ticking) = 0;
    virtual void exitProcess(int status) = 0;
};

enum class MouseButton { left = 0, right = 1, middle = 2 };

// What a backend delivers to the main window, one event at a time on the UI thread.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;

    virtual void activate() = 0;
    // Coordinates are the program's pixels from the window's top-left corner; they may lie
    // outside the window while a button is held.
    virtual void mouseDown(int x, int y, MouseButton button) = 0;
    virtual void mouseMove(int x, int y) = 0;
    virtual void mouseUp(int x, int y, MouseButton button) = 0;
    // Every key press, repeats included. The arrows come as their Windows virtual-key codes, 37
    // left, 38 up, 39 right and 40 down; any other key as some other non-zero code.
    virtual void keyDown(int virtualKey) = 0;
    virtual void tick() = 0; // every 100 ms while the program asks for it (setTicking)
    // A file dropped on the window at this point (the first one when several were dropped).
    virtual void fileDropped(int x, int y, const std::string& path) = 0;
    // Another window took the pointer away while a button was held: no release will come.
    virtual void captureLost() = 0;
    // The program was started again for the same stored files while this copy runs: the backend
    // has brought the window forward with the keyboard focus, and no modal box is up.
    virtual void anotherStart() = 0;
    // A launch that the backend could only finish after launch() returned did not start.
    virtual void launchFailed(const std::string& reason) = 0;
};

} // namespace dravix
