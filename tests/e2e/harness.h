#pragma once

// End-to-end harness: runs the real dravix binary from a temporary folder on the X server named
// by DISPLAY (an Xvfb, with or without a window manager) and drives it with real input through
// XTest.

#include "tests/support/toggle_point.h"
#include "tests/support/x11/image_assertions.h"
#include "tests/support/x11/x_connection.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dravix::e2e {

using namespace std::chrono_literals;
using dravix::testing::openToggleTop;
using dravix::testing::toggleX;
using dravix::testing::toggleY;
using x11test::Button;
using x11test::compare;
using x11test::describe;
using x11test::describeWaitStatus;
using x11test::Geometry;
using x11test::Image;
using x11test::Milliseconds;
using x11test::Screenshot;
using x11test::waitUntil;
using x11test::XConnection;

// Bounds for waiting on the program; generous, since CI machines may be busy. The polls end as
// soon as the awaited thing happens.
inline constexpr Milliseconds windowTimeout = 5000ms;
inline constexpr Milliseconds changeTimeout = 3000ms;

// Set once by main from the command line or the environment.
struct Settings {
    std::filesystem::path binary;    // the dravix executable to copy into each test's folder
    std::filesystem::path artifacts; // where failing tests leave screenshots and logs
    // The binary is an installed one, in a folder the ordinary user may not write (an unpacked
    // package): the runs as that user start it where it is rather than a copy.
    bool installed = false;
};
Settings& settings();

// <artifacts>/<Suite>.<Test>/, created on first use: screenshots and logs of a failing test.
std::filesystem::path testArtifactFolder();

// The one X connection of the run, opened on first use (throws when there is no server).
XConnection& xServer();

// Every captured pixel of the screenshot equals the expected image; on a difference both images
// are left as BMP files in the test's artifact folder.
::testing::AssertionResult sameImage(const Screenshot& actual, const Image& expected,
                                     const std::string& label);

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

    // From the next start() on, the program runs as the ordinary user nobody (uid 65534) from a
    // folder that user may read but not write, as a package installs it (the installed binary
    // itself with Settings::installed); HOME (elsewhere()) becomes that user's. It then runs
    // without DRAVIX_E2E_WRAPPER.
    void runAsOrdinaryUser();
    // The folder of the executable that start() runs.
    std::filesystem::path programFolder() const { return executable().parent_path(); }

    // Gives the next start() this environment variable in place of the caller's (PATH, say).
    // HOME is always the folder elsewhere().
    void setEnvironment(const std::string& name, const std::string& value);
    // Gives the next start() no such environment variable (DISPLAY, say).
    void unsetEnvironment(const std::string& name);

    // Starts the copied binary with the caller's environment (DISPLAY) and a bare argv[0], with
    // stdout and stderr going to files in the folder. It may be started again once it has ended.
    void start();
    pid_t pid() const { return process_ ? process_->pid() : -1; }
    bool running() { return process_ && process_->running(); }
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
    std::filesystem::path executable() const;

    std::filesystem::path folder_;
    std::optional<x11test::ChildProcess> process_;
    std::map<std::string, std::string> environment_;
    std::set<std::string> unsetEnvironment_;
    bool ordinaryUser_ = false;
};

// Puts text on the X clipboard for as long as it lives: xclip, started in the foreground, owns
// the CLIPBOARD selection and serves every paste until the destructor ends it. The constructor
// returns once xclip owns the selection; it throws when xclip cannot be started or never does.
class ClipboardText {
public:
    explicit ClipboardText(const std::string& text);

private:
    std::optional<x11test::ChildProcess> xclip_;
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
    // Waits for an error box: a window titled "Dravix" besides the main window; nothing on timeout.
    std::optional<Window> waitForErrorBox(Milliseconds timeout = windowTimeout);
    // Closes the error box as a user would (see the definition for how keys reach it).
    void dismissErrorBox(Window box);
    // Gives the main window the keyboard focus (XSetInputFocus), then presses and releases the
    // key; the pointer stays where it is.
    void tapKey(unsigned long keysym);
    // Enters the text into a dialog's focused text field, replacing what it holds, and presses
    // Return; succeeds once the dialog has closed. The text goes in as a paste: file choosers
    // complete names while they are typed, so fast synthetic keystrokes would garble it.
    ::testing::AssertionResult enterIntoDialog(Window dialog, const std::string& text);
    // Waits for a dialog of this run (a window besides the strip) and enters the text into it as
    // enterIntoDialog does.
    ::testing::AssertionResult enterIntoTheNextDialog(const std::string& text);

    // Right press on the toggle at this Top of the window; the process must end with status 0.
    void exitThroughTheToggle(int toggleTop);

    XConnection& x() { return xServer(); }

    DravixProcess app;
    Window main = 0;
};

// The position file for a place, and the slot list file with ten empty slots.
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
