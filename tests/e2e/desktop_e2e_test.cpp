// The strip on whatever desktop runs on DISPLAY: a bare X server, openbox with a tint2 panel,
// mutter, icewm with its own taskbar, i3 with i3bar or xfwm4 with xfce4-panel along the top
// (tests/desktops/session.sh starts them). A taskbar entry of its own, stored places that would
// hide part of the open strip brought back, a place that stays over starts and quits, every
// workspace, the error box beside the toggle, a slide that keeps the toggle under the pointer and
// returns it exactly, the arrows, the middle-button drag and a second copy. On a screen of twice
// the density, the same strip twice as large.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

#include "platform/x11/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

namespace dravix::e2e {
namespace {

constexpr int closedWidth = 26, closedHeight = 23, openWidth = 244, openHeight = 323;

// What the shell command printed, without its last newline; empty when it failed.
std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            output += buffer;
        if (::pclose(pipe) != 0)
            output.clear();
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' '))
        output.pop_back();
    while (!output.empty() && output.front() == ' ')
        output.erase(output.begin());
    return output;
}

bool windowManagerRuns() {
    return !xServer()
                .longs(DefaultRootWindow(xServer().display()), "_NET_SUPPORTING_WM_CHECK")
                .empty();
}

// The first desktop's work area, or the whole screen where no window manager publishes one,
// less the bottom strut of a dock that the window manager does not count there (i3bar).
Geometry workArea() {
    Display* display = xServer().display();
    const std::vector<long> area = xServer().longs(DefaultRootWindow(display), "_NET_WORKAREA");
    if (area.size() >= 4) {
        return {static_cast<int>(area[0]), static_cast<int>(area[1]), static_cast<int>(area[2]),
                static_cast<int>(area[3])};
    }
    const int height = DisplayHeight(display, DefaultScreen(display));
    const std::string bar = runCommand("xwininfo -root -tree | grep '\"i3bar for output' | "
                                       "grep -o '^ *0x[0-9a-f]*'");
    const long barHeight = bar.empty()
                               ? 0
                               : std::stol(runCommand("xprop -id " + bar +
                                                      " -notype 32c ' $3' "
                                                      "_NET_WM_STRUT_PARTIAL | cut -d' ' -f2"));
    return {0, 0, DisplayWidth(display, DefaultScreen(display)),
            height - static_cast<int>(barHeight)};
}

// The open strip of a toggle at this place lies inside the rectangle.
bool openStripInside(const Geometry& toggle, const Geometry& area) {
    return toggle.left >= area.left && toggle.top - openToggleTop >= area.top &&
           toggle.left + openWidth <= area.left + area.width &&
           toggle.top + closedHeight <= area.top + area.height;
}

class OnTheDesktop : public DravixTest {
protected:
    Geometry startAt(int top, int left) {
        startWith(positionFile(top, left), emptySlotList());
        const std::optional<Geometry> shown = waitForMainWindowSized(closedWidth, closedHeight);
        return shown.value_or(Geometry{});
    }

    // Presses the toggle of the window resting at `toggle` and follows the window every few
    // milliseconds until it shows `until`; each sighting must keep the toggle where it rests.
    ::testing::AssertionResult slideKeepingTheToggleAt(const Geometry& toggle,
                                                       const Geometry& until) {
        const int pressTop = mainGeometry()->height == openHeight * scale ? openToggleTop : 0;
        clickAt(toggleX * scale, (pressTop + toggleY) * scale, Button::left);
        std::vector<Geometry> sightings;
        const bool arrived = waitUntil(
            [&] {
                const std::optional<Geometry> now = mainGeometry();
                if (now && (sightings.empty() || sightings.back() != *now)) {
                    sightings.push_back(*now);
                }
                return now == until;
            },
            2000ms);
        for (const Geometry& seen : sightings) {
            if (seen.left != toggle.left ||
                seen.top + seen.height - closedHeight * scale != toggle.top) {
                return ::testing::AssertionFailure()
                       << "the toggle left its place: window at " << describe(seen);
            }
        }
        if (!arrived) {
            return ::testing::AssertionFailure() << "the slide never reached " << describe(until);
        }
        return ::testing::AssertionSuccess();
    }

    // Starts the program again from the folder of the running one; its wait status once it ended,
    // nothing while it still runs.
    std::optional<int> startSecondCopy() {
        x11test::ProcessOptions second;
        second.executable = (app.folder() / "dravix").string();
        second.argv = {"dravix"};
        second.folder = app.elsewhere();
        x11test::ChildProcess copy(second);
        return copy.waitForExit(windowTimeout);
    }

    // Screen pixels per pixel of the program.
    int scale = 1;
};

TEST_F(OnTheDesktop, IsATaskbarEntryWithItsClassIconAndPid) {
    const Geometry shown = startAt(600, 300);
    ASSERT_EQ(shown, (Geometry{300, 600, closedWidth, closedHeight})) << app.describeWindows();

    XClassHint hint{};
    ASSERT_TRUE(XGetClassHint(x().display(), main, &hint));
    EXPECT_STREQ(hint.res_name, "dravix");
    EXPECT_STREQ(hint.res_class, "Dravix");
    XFree(hint.res_name);
    XFree(hint.res_class);

    EXPECT_EQ(x().longs(main, "_NET_WM_PID"), std::vector<long>{app.pid()});
    // The small sizes come with the map, the 256-pixel one once the first frame is up.
    const auto iconSizes = [&] {
        const std::vector<long> icon = x().longs(main, "_NET_WM_ICON");
        std::set<long> sizes;
        for (std::size_t at = 0; at + 2 <= icon.size(); at += 2 + icon[at] * icon[at + 1]) {
            EXPECT_EQ(icon[at], icon[at + 1]) << "square icons";
            sizes.insert(icon[at]);
        }
        return sizes;
    };
    const std::set<long> allSizes{16, 24, 32, 48, 256};
    EXPECT_TRUE(waitUntil([&] { return iconSizes() == allSizes; }, windowTimeout));
    EXPECT_EQ(iconSizes(), allSizes);

    const Atom skipTaskbar = XInternAtom(x().display(), "_NET_WM_STATE_SKIP_TASKBAR", False);
    for (long state : x().longs(main, "_NET_WM_STATE")) {
        EXPECT_NE(static_cast<Atom>(state), skipTaskbar);
    }

    // Like any new window it has the focus, so the arrows work without a click first.
    if (windowManagerRuns()) {
        x().tapKey(XK_Down);
        EXPECT_TRUE(waitForGeometry({300, 601, closedWidth, closedHeight}));
    }
}

TEST_F(OnTheDesktop, StoredPlacesThatWouldHideThePanelOrTheScreenEdgeAreBroughtBack) {
    const Geometry area = workArea();
    const int lowest = area.top + area.height - closedHeight;
    const int rightmost = area.left + area.width - openWidth;
    struct Case {
        const char* what;
        int top;
        int left;
        Geometry expected;
    };
    for (const Case& place :
         {Case{"under the panel", area.top + area.height - 5, 300, {300, lowest, 26, 23}},
          Case{"near the top", 100, 300, {300, area.top + openToggleTop, 26, 23}},
          Case{"off every monitor", 5000, 5000, {rightmost, lowest, 26, 23}}}) {
        SCOPED_TRACE(place.what);
        EXPECT_EQ(startAt(place.top, place.left), place.expected) << app.describeWindows();
        EXPECT_TRUE(slideKeepingTheToggleAt(
            place.expected,
            {place.expected.left, place.expected.top - openToggleTop, openWidth, openHeight}));
        EXPECT_TRUE(openStripInside(place.expected, area)) << describe(place.expected);
        exitThroughTheToggle(openToggleTop);
        EXPECT_EQ(app.readFile("dravix.ini"), positionFile(place.expected.top, place.expected.left))
            << "the exit saves where the strip really rests";
    }
}

// The place saved is the place shown, so a window manager that puts its frame at the place asked
// for (i3) or moves a window on its own cannot make it creep from one start to the next.
TEST_F(OnTheDesktop, ThePlaceStaysTheSameOverStartsOpensClosesAndQuits) {
    const Geometry toggle{300, 600, closedWidth, closedHeight};
    std::string stored = positionFile(600, 300);
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        startWith(stored, emptySlotList());
        ASSERT_TRUE(waitForMainWindow(toggle)) << app.describeWindows();
        ASSERT_TRUE(slideKeepingTheToggleAt(toggle, {300, 300, openWidth, openHeight}));
        ASSERT_TRUE(slideKeepingTheToggleAt(toggle, toggle));
        exitThroughTheToggle(0);
        ASSERT_EQ(app.readFile("dravix.ini"), stored);
        stored = *app.readFile("dravix.ini");
    }
}

// A launcher strip is on every workspace, as a panel is, and keeps its taskbar entry.
TEST_F(OnTheDesktop, IsOnEveryWorkspace) {
    if (!windowManagerRuns())
        GTEST_SKIP() << "no window manager, no workspaces";
    const Geometry toggle = startAt(600, 300);
    Display* const display = x().display();
    const std::vector<long> desktop = x().longs(main, "_NET_WM_DESKTOP");
    ASSERT_EQ(desktop.size(), 1u);
    EXPECT_EQ(static_cast<unsigned long>(desktop[0]) & 0xFFFFFFFFul, 0xFFFFFFFFul);
    const Atom skipTaskbar = XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False);
    for (long state : x().longs(main, "_NET_WM_STATE"))
        EXPECT_NE(static_cast<Atom>(state), skipTaskbar);

    // To the second workspace and back: wmctrl where the manager keeps several, else i3's own
    // command, which makes one.
    const std::vector<long> count =
        x().longs(DefaultRootWindow(display), "_NET_NUMBER_OF_DESKTOPS");
    const bool several = !count.empty() && count[0] >= 2;
    const std::string toSecond = several ? "wmctrl -s 1" : "i3-msg -q workspace 2";
    const std::string toFirst = several ? "wmctrl -s 0" : "i3-msg -q workspace 1";
    // i3 numbers only the workspaces that exist, and drops an empty one as it is left: the one
    // the strip was on goes when the strip goes along, so the names tell where the screen is.
    const auto onWorkspace = [&](int index) {
        if (several) {
            const std::vector<long> now =
                x().longs(DefaultRootWindow(display), "_NET_CURRENT_DESKTOP");
            return !now.empty() && now[0] == index;
        }
        const std::string names = runCommand("xprop -root -notype _NET_DESKTOP_NAMES");
        const std::string wanted = index == 0 ? "\"1\"" : "\"2\"";
        return names.find(wanted) != std::string::npos &&
               names.find(index == 0 ? "\"2\"" : "\"1\"") == std::string::npos;
    };
    const auto viewable = [&] {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(display, main, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    };
    ASSERT_EQ(std::system(toSecond.c_str()), 0) << toSecond;
    EXPECT_TRUE(waitUntil([&] { return onWorkspace(1); }, changeTimeout)) << toSecond;
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(viewable()) << "the strip is gone from the second workspace";
    EXPECT_EQ(mainGeometry(), toggle);
    EXPECT_TRUE(slideKeepingTheToggleAt(toggle, {300, 300, openWidth, openHeight}));
    EXPECT_TRUE(slideKeepingTheToggleAt(toggle, toggle));
    ASSERT_EQ(std::system(toFirst.c_str()), 0) << toFirst;
    EXPECT_TRUE(waitUntil([&] { return onWorkspace(0); }, changeTimeout)) << toFirst;
    EXPECT_TRUE(viewable());
}

// A failed start-up load shows its box once the toggle rests where it stays, and beside it.
TEST_F(OnTheDesktop, TheErrorBoxOpensBesideTheToggleItsPlaceAlreadyTaken) {
    const Geometry area = workArea();
    // The creation place, lowered where a panel along the top would cover the open strip.
    const Geometry toggle{196, std::max(300, area.top + openToggleTop), closedWidth, closedHeight};
    startWith(std::nullopt, std::nullopt);
    ASSERT_TRUE(waitForMainWindow(toggle)) << app.describeWindows();
    const std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "no error box; " << app.describeWindows();
    // The window manager may still be placing it.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(mainGeometry(), toggle) << "the toggle moved while the box was up";
    const std::optional<Geometry> shown = x().geometry(*box);
    ASSERT_TRUE(shown);
    const int toggleMiddleX = toggle.left + closedWidth / 2;
    const int toggleMiddleY = toggle.top + closedHeight / 2;
    constexpr int near = 40; // a frame's border and title, and some
    EXPECT_TRUE(
        shown->left - near <= toggleMiddleX && toggleMiddleX <= shown->left + shown->width + near &&
        shown->top - near <= toggleMiddleY && toggleMiddleY <= shown->top + shown->height + near)
        << "the box at " << describe(*shown) << " is far from the toggle at " << describe(toggle);
    EXPECT_TRUE(shown->left >= area.left && shown->top >= area.top &&
                shown->left + shown->width <= area.left + area.width &&
                shown->top + shown->height <= area.top + area.height)
        << "the box at " << describe(*shown) << " reaches out of the work area";
    dismissErrorBox(*box);
    EXPECT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout))
        << app.describeWindows();
    EXPECT_EQ(mainGeometry(), toggle);
}

TEST_F(OnTheDesktop, OpenAndCloseKeepTheToggleUnderThePointerAndReturnItExactly) {
    const Geometry toggle = startAt(600, 300);
    ASSERT_EQ(toggle, (Geometry{300, 600, closedWidth, closedHeight}));
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_TRUE(slideKeepingTheToggleAt(toggle, {300, 300, openWidth, openHeight}));
        ASSERT_TRUE(slideKeepingTheToggleAt(toggle, toggle));
    }
}

TEST_F(OnTheDesktop, ArrowsAndAMiddleButtonDragMoveTheStripAndTheExitSavesIt) {
    startAt(600, 300);
    tapKey(XK_Down);
    tapKey(XK_Right);
    ASSERT_TRUE(waitForGeometry({301, 601, closedWidth, closedHeight}));

    x().movePointer(301 + toggleX, 601 + toggleY);
    x().pressButton(Button::middle);
    for (int step = 1; step <= 10; ++step) {
        x().movePointer(301 + toggleX + 10 * step, 601 + toggleY + 5 * step);
        std::this_thread::sleep_for(10ms);
    }
    x().releaseButton(Button::middle);
    ASSERT_TRUE(waitForGeometry({401, 651, closedWidth, closedHeight}));
    EXPECT_TRUE(slideKeepingTheToggleAt({401, 651, 26, 23}, {401, 351, openWidth, openHeight}));

    exitThroughTheToggle(openToggleTop);
    EXPECT_EQ(app.readFile("dravix.ini"), positionFile(651, 401));
}

TEST_F(OnTheDesktop, ASecondCopyFromTheSameFolderEndsAndOpensTheFirstAndLeavesItsFiles) {
    startAt(600, 300);
    const std::optional<std::string> storedBefore = app.readFile("dravix.ini");

    const std::optional<int> status = startSecondCopy();
    ASSERT_TRUE(status) << "the second copy still runs";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(*status);

    EXPECT_TRUE(app.running());
    EXPECT_EQ(app.windows().size(), 1u) << app.describeWindows();
    EXPECT_EQ(app.readFile("dravix.ini"), storedBefore);
    ASSERT_TRUE(waitForGeometry({300, 300, openWidth, openHeight})) << "the first did not open";
    exitThroughTheToggle(openToggleTop);
    EXPECT_EQ(app.readFile("dravix.ini"), storedBefore);
}

// A shortcut bound to the command is a second start: it opens the strip and gives it the keys.
TEST_F(OnTheDesktop, ASecondStartTogglesTheStripAndItsDigitsStartSlotsWithoutTheMouse) {
    namespace fs = std::filesystem;
    const fs::path marker = fs::canonical(app.folder()) / "runs.txt";
    const fs::path script = fs::canonical(app.folder()) / "three.sh";
    writeTextFile(script, "#!/bin/sh\necho ran >> '" + marker.string() + "'\n", true);
    startWith(positionFile(600, 300), slotList({{3, {script.string(), "three"}}}));
    const Geometry closed{300, 600, closedWidth, closedHeight};
    const Geometry open{300, 300, openWidth, openHeight};
    ASSERT_TRUE(waitForMainWindow(closed)) << app.describeWindows();
    x().movePointer(1000, 100); // the keys must reach the strip without the pointer on it

    const auto startAgain = [&] {
        const std::optional<int> status = startSecondCopy();
        ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    };
    const auto runs = [&] { return readTextFile(marker).value_or(""); };

    x().tapKey(XK_3);
    ASSERT_NO_FATAL_FAILURE(startAgain());
    ASSERT_TRUE(waitForGeometry(open));
    Window focused = None;
    int revert = 0;
    XGetInputFocus(x().display(), &focused, &revert);
    EXPECT_EQ(focused, main) << "the strip did not get the keyboard focus";
    x().tapKey(XK_3);
    EXPECT_TRUE(waitUntil([&] { return runs() == "ran\n"; }, changeTimeout)) << runs();
    EXPECT_TRUE(waitForGeometry(closed));

    ASSERT_NO_FATAL_FAILURE(startAgain());
    ASSERT_TRUE(waitForGeometry(open));
    ASSERT_NO_FATAL_FAILURE(startAgain());
    EXPECT_TRUE(waitForGeometry(closed)) << "a second start on the open strip closes it";

    ASSERT_NO_FATAL_FAILURE(startAgain());
    ASSERT_TRUE(waitForGeometry(open));
    x().tapKey(XK_Escape);
    EXPECT_TRUE(waitForGeometry(closed)) << "Escape closes the strip";
    x().tapKey(XK_KP_3);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(runs(), "ran\n") << "a digit on the closed strip started its slot";
    EXPECT_EQ(mainGeometry(), closed);
    EXPECT_TRUE(app.running());
    exitThroughTheToggle(0);
}

// The server's resources (RESOURCE_MANAGER on the root window, which Xlib reads as a program
// connects) replaced for as long as this lives, then put back as they were.
class ServerResources {
public:
    explicit ServerResources(const std::string& resources)
        : before_(x11::bytes(display(), root(), XA_RESOURCE_MANAGER, 1 << 22, XA_STRING)) {
        set(resources);
    }
    ~ServerResources() {
        if (before_) {
            set(*before_);
            return;
        }
        XDeleteProperty(display(), root(), XA_RESOURCE_MANAGER);
        XSync(display(), False);
    }
    ServerResources(const ServerResources&) = delete;
    ServerResources& operator=(const ServerResources&) = delete;

private:
    static Display* display() { return xServer().display(); }
    static Window root() { return DefaultRootWindow(display()); }

    // Synchronised, so that a program started next already finds the resources.
    void set(const std::string& resources) {
        XChangeProperty(display(), root(), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(resources.data()),
                        static_cast<int>(resources.size()));
        XSync(display(), False);
    }

    std::optional<std::string> before_;
};

// A desktop at a scale of 2, as GNOME and KDE set it on a dense screen, for this test only.
class OnADenseScreen : public OnTheDesktop {
protected:
    OnADenseScreen() { scale = 2; }

private:
    ServerResources resources_{"Xft.antialias:\t1\nXft.dpi:\t192\n"};
};

// Each pixel of the image as a square block of scale x scale pixels.
Image enlarged(const Image& image, int scale) {
    Image large(image.width() * scale, image.height() * scale);
    for (int y = 0; y < large.height(); ++y) {
        for (int x = 0; x < large.width(); ++x)
            large.set(x, y, image.at(x / scale, y / scale));
    }
    return large;
}

TEST_F(OnADenseScreen, TheStripIsTwiceAsLargeEveryPixelABlockAndClicksLandWhereTheyPoint) {
    const std::filesystem::path script = app.folder() / "mark.sh";
    const std::filesystem::path mark = app.folder() / "ran";
    writeTextFile(script, "#!/bin/sh\n: > '" + mark.string() + "'\n", true);
    startWith(positionFile(600, 300), slotList({{3, {script.string(), "mark"}}}));
    const Geometry toggle{300, 600, 2 * closedWidth, 2 * closedHeight};
    const Geometry open{300, 0, 2 * openWidth, 2 * openHeight};
    ASSERT_TRUE(waitForMainWindow(toggle));
    EXPECT_TRUE(waitForImage(enlarged(closedFrame(), 2), "closed"));

    ASSERT_TRUE(slideKeepingTheToggleAt(toggle, open));
    EXPECT_TRUE(waitForImage(enlarged(openFrame(), 2), "open"));
    ASSERT_TRUE(slideKeepingTheToggleAt(toggle, toggle));
    EXPECT_TRUE(waitForImage(enlarged(closedFrame(), 2), "closed-again"));

    // Slot 3's middle, (14, 74), at twice the distance and a pixel more: the unscaled point lies
    // right of the slot buttons (x 4 to 24). The slot's script runs and the strip closes.
    ASSERT_TRUE(slideKeepingTheToggleAt(toggle, open));
    clickAt(2 * 14 + 1, 2 * (slotButtonTops[3] + 6) + 1, Button::left);
    EXPECT_TRUE(waitUntil([&] { return std::filesystem::exists(mark); }, changeTimeout))
        << "the click did not start slot 3";
    EXPECT_TRUE(waitForGeometry(toggle));
    EXPECT_TRUE(waitForImage(enlarged(closedFrame(), 2), "closed-after-launch"));
}

} // namespace
} // namespace dravix::e2e
