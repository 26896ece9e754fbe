#pragma once

// End-to-end harness: runs the real dravix binary from a temporary folder on the X server named
// by DISPLAY (an Xvfb without a window manager) and drives it with real input through XTest.

#include "tests/e2e/image.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dravix::e2e {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Bounds for waiting on the program; generous, since CI machines may be busy. The polls end as
// soon as the awaited thing happens.
inline constexpr Milliseconds windowTimeout = 5000ms;
inline constexpr Milliseconds changeTimeout = 3000ms;
inline constexpr Milliseconds pollInterval = 10ms;

// Set once by main from the command line or the environment.
struct Settings {
    std::filesystem::path binary;    // the dravix executable to copy into each test's folder
    std::filesystem::path artifacts; // where failing tests leave screenshots and logs
};
Settings& settings();

// <artifacts>/<Suite>.<Test>/, created on first use: screenshots and logs of a failing test.
std::filesystem::path testArtifactFolder();

// Polls every 10 ms until condition() holds or the timeout passes; true when it held.
bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout);

// A window's place on the screen: Left and Top of its top-left corner in root coordinates.
struct Geometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const Geometry&, const Geometry&) = default;
};
void PrintTo(const Geometry& geometry, std::ostream* out);
std::string describe(const Geometry& geometry);

// The X mouse buttons as XTest numbers them.
enum class Button { left = 1, middle = 2, right = 3 };

// One connection to the X server for the whole run: finding windows, screenshots and input.
class XServer {
public:
    // Opens DISPLAY on first use; throws std::runtime_error when there is no server or no XTest.
    static XServer& instance();

    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    Display* display() const { return display_; }
    int screenWidth() const;
    int screenHeight() const;

    // Every viewable top-level window whose title (WM_NAME or _NET_WM_NAME) is exactly `title`,
    // looking through window-manager frames too. A window that carries _NET_WM_PID is counted only
    // when that pid matches `pid` (when one is given).
    std::vector<Window> windowsTitled(const std::string& title,
                                      std::optional<pid_t> pid = std::nullopt);
    // Every viewable top-level window, whatever its title, whose _NET_WM_PID is `pid`.
    std::vector<Window> windowsOfProcess(pid_t pid);
    // The window's rectangle in root coordinates; nothing when it no longer exists.
    std::optional<Geometry> geometry(Window window);

    // The pixels on the screen inside the rectangle, as far as it lies on the screen.
    Screenshot capture(const Geometry& area);
    // Captures the area until two captures 100 ms apart are the same, so that nothing is being
    // drawn there any more; that capture, or nothing when it still changed at the timeout.
    std::optional<Screenshot> captureWhenStill(const Geometry& area,
                                               Milliseconds timeout = changeTimeout);

    // Real input: XTest events, each flushed to the server and synchronised.
    void movePointer(int x, int y);
    void pressButton(Button button);
    void releaseButton(Button button);
    void click(int x, int y, Button button);
    void pressKey(unsigned long keysym);
    void releaseKey(unsigned long keysym);
    void tapKey(unsigned long keysym);
    // Taps the key while the modifier key (XK_Control_L, say) is held.
    void tapKeyWith(unsigned long modifier, unsigned long keysym);
    // Gives the keyboard focus to the window, as a window manager would on a click.
    void focus(Window window);

    // The window that owns the selection (e.g. "CLIPBOARD"); None when nobody does.
    Window selectionOwner(const std::string& selection);

private:
    XServer();
    ~XServer();

    // Walks the root's children and up to two levels below (window-manager frames), stopping at
    // the first window on each branch for which isClient holds; of those, the viewable ones that
    // `accept` takes are returned.
    std::vector<Window> clientWindows(const std::function<bool(Window)>& isClient,
                                      const std::function<bool(Window)>& accept);

    Display* display_ = nullptr;
};

// The process exit as waitpid reports it, told in words for failure messages.
std::string describeWaitStatus(int status);

// One run of dravix: its own temporary folder holding a copy of the binary (the stored files
// live beside the executable), the process, and its windows. Everything is cleaned up by the
// destructor: the process is killed if it still runs, its windows awaited gone, the folder removed.
class DravixProcess {
public:
    DravixProcess();
    ~DravixProcess();
    DravixProcess(const DravixProcess&) = delete;
    DravixProcess& operator=(const DravixProcess&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    // An empty folder that is the process's working directory and HOME, so that neither can
    // stand in for the executable's folder and anything written there shows.
    std::filesystem::path elsewhere() const { return folder_ / "elsewhere"; }

    // The stored files, byte for byte, beside the executable copy.
    void writeFile(const std::string& name, const std::string& bytes);
    std::optional<std::string> readFile(const std::string& name) const;

    // Gives the next start() this environment variable in place of the caller's (PATH, say).
    // HOME is always the folder elsewhere().
    void setEnvironment(const std::string& name, const std::string& value);

    // Starts the copied binary with the caller's environment (DISPLAY) and a bare argv[0], with
    // stdout and stderr going to files in the folder. It may be started again once it has ended.
    void start();
    pid_t pid() const { return pid_; }
    bool running();
    // Waits for the process to end; its waitpid status, or nothing on timeout.
    std::optional<int> waitForExit(Milliseconds timeout);
    std::string errorOutput() const; // what the process wrote to stderr so far

    // The mapped windows titled "Dravix" that belong to this run.
    std::vector<Window> windows();
    // Every mapped top-level window of this run, whatever its title (dialogs included).
    std::vector<Window> allWindows();
    // Waits for a window of this run whose geometry satisfies the predicate; nothing on timeout.
    std::optional<Window> waitForWindow(const std::function<bool(const Geometry&)>& accept,
                                        Milliseconds timeout = windowTimeout);
    // Describes every window of this run with its geometry, for failure messages.
    std::string describeWindows();

    // Copies the stored files and the program's output into the test's artifact folder.
    void saveArtifacts();

private:
    void stop();

    std::filesystem::path folder_;
    pid_t pid_ = -1;
    std::optional<int> exitStatus_;
    std::map<std::string, std::string> environment_;
};

// Puts text on the X clipboard for as long as it lives: xclip, started in the foreground, owns
// the CLIPBOARD selection and serves every paste until the destructor ends it. The constructor
// returns once xclip owns the selection; it throws when xclip cannot be started or never does.
class ClipboardText {
public:
    explicit ClipboardText(const std::string& text);
    ~ClipboardText();
    ClipboardText(const ClipboardText&) = delete;
    ClipboardText& operator=(const ClipboardText&) = delete;

private:
    void stop();

    pid_t pid_ = -1;
};

// Base fixture: one dravix per test, input helpers in window coordinates, waits on geometry and
// screenshots. When a test fails, its stored files, stderr and screenshots are kept under the
// artifact folder.
class DravixTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Writes the stored files (a missing argument leaves that file absent) and starts dravix.
    void startWith(const std::optional<std::string>& positionFile,
                   const std::optional<std::string>& slotListFile);

    // Waits for the main window to show exactly this geometry.
    ::testing::AssertionResult waitForMainWindow(const Geometry& expected,
                                                 Milliseconds timeout = windowTimeout);
    // Waits for the main window to have this size, wherever it is; its geometry then.
    std::optional<Geometry> waitForMainWindowSized(int width, int height,
                                                   Milliseconds timeout = windowTimeout);
    // Waits for the main window (found by waitForMainWindow*) to reach the geometry.
    ::testing::AssertionResult waitForGeometry(const Geometry& expected,
                                               Milliseconds timeout = changeTimeout);
    std::optional<Geometry> mainGeometry();

    // Waits until the window's screenshot equals the expected image (the program draws after
    // it resizes); the last screenshot's differences when it never does.
    ::testing::AssertionResult waitForImage(const Image& expected, const std::string& label,
                                            Milliseconds timeout = changeTimeout);
    Screenshot screenshot();

    // Input at a point of the main window, converted to the screen with its current geometry.
    void clickAt(int x, int y, Button button);
    void hoverAt(int x, int y);
    // Closes the error box as a user would (see the definition for how keys reach it).
    void dismissErrorBox(Window box);
    // Gives the main window the keyboard focus (XSetInputFocus), then presses and releases the
    // key; the pointer stays where it is.
    void tapKey(unsigned long keysym);

    XServer& x() { return XServer::instance(); }

    DravixProcess app;
    Window main = 0;
};

// The stored files of a fresh installation: the window at Top 132, Left 196 and ten empty slots.
std::string positionFile(int top, int left);
std::string emptySlotList();

// One slot of the slot list file.
struct SlotEntry {
    std::string path;
    std::string name;
};
// The slot list file's twenty CR LF lines (path 0, name 0, path 1, ...) with the given slots
// filled in and the others empty.
std::string slotList(const std::map<int, SlotEntry>& slots);

// Writes a file with the text and makes it executable (or not) for its owner.
void writeTextFile(const std::filesystem::path& path, const std::string& text,
                   bool executable = false);
// The file's bytes; nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::filesystem::path& path);

} // namespace dravix::e2e
