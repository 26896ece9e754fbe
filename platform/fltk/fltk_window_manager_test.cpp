#include "platform/fltk/fltk_desktop.h"

#include "platform/fltk/x11_work_area.h"

// GoogleTest comes before Xlib, whose macros (None, Bool) would break its templates.
#include "tests/support/scripted_window.h"
#include "tests/support/x11/private_x_server.h"
#include "tests/support/x11/x_connection.h"
#include "tests/support/x11/x_proxy.h"

#include "assets/picture_store.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dravix::Frame;
using dravix::Rgb;
using dravix::ScreenRect;
using dravix::WindowGeometry;
using dravix::fltk::FltkDesktop;
using dravix::fltk::Strut;
using dravix::fltktest::ScriptedWindow;
using dravix::x11test::Button;
using dravix::x11test::ChildProcess;
using dravix::x11test::Geometry;
using dravix::x11test::Image;
using dravix::x11test::XConnection;

// A private X server with no window manager; the tests look at it through a connection of their
// own, as a window manager, a panel or a second copy of the program would.
struct PrivateDisplay : testing::Environment {
    void SetUp() override {
        server.emplace();
        x.emplace();
    }
    void TearDown() override {
        x.reset();
        server.reset();
    }
    std::optional<dravix::x11test::PrivateXServer> server;
    std::optional<XConnection> x;
};

auto* const session =
    static_cast<PrivateDisplay*>(testing::AddGlobalTestEnvironment(new PrivateDisplay));

Display* probe() {
    return session->x->display();
}

Atom atom(const char* name) {
    return XInternAtom(probe(), name, False);
}

std::vector<long> longs(Window window, const char* name) {
    return session->x->longs(window, name);
}

void setLongs(Window window, const char* name, Atom type, const std::vector<long>& values) {
    XChangeProperty(probe(), window, atom(name), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
}

// Every event the server has sent the probe so far.
// What the probe changed, seen by the desktop's connection too: the server has sent it every event
// the change made once it answers the desktop's own round trip.
void desktopSees() {
    XSync(probe(), False);
    XSync(fl_display, False);
}

std::vector<XEvent> pendingEvents() {
    XSync(probe(), False);
    std::vector<XEvent> events;
    while (XPending(probe()) > 0) {
        XEvent event;
        XNextEvent(probe(), &event);
        events.push_back(event);
    }
    return events;
}

Geometry onScreen(const WindowGeometry& place) {
    return {place.left, place.top, place.width, place.height};
}

const Frame grey{26, 23, std::vector<std::uint8_t>(26 * 23 * 3, 0x80)};

// The sizes the window lets the window manager give it (WM_NORMAL_HINTS), as "min WxH, max
// WxH", with its gravity.
std::string sizeHints(Window window) {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(probe(), window, &hints, &supplied) == 0)
        return "none";
    return "min " + std::to_string(hints.min_width) + "x" + std::to_string(hints.min_height) +
           ", max " + std::to_string(hints.max_width) + "x" + std::to_string(hints.max_height) +
           ((hints.flags & PWinGravity) && hints.win_gravity == StaticGravity ? ", static" : "");
}

std::uint32_t argb(Rgb colour) {
    return 0xff000000u | colour.red << 16 | colour.green << 8 | colour.blue;
}

// _NET_WM_ICON holds the closed toggle at these sizes, of 16, 24, 32, 48 and 256 pixels square:
// in the middle of the larger ones, each of its pixels a square block (one pixel at 32 and 48,
// 9 x 9 at 256), shrunk whole into the smaller ones, transparent around it.
void expectToggleIcons(const std::vector<long>& icon, std::initializer_list<long> sizes) {
    const dravix::Picture& toggle = dravix::storePicture("k1");
    std::size_t at = 0;
    for (const long size : sizes) {
        ASSERT_GE(icon.size(), at + 2 + size * size) << "no " << size << " pixel icon";
        EXPECT_EQ(icon[at], size);
        EXPECT_EQ(icon[at + 1], size);
        const std::vector<std::uint32_t> pixels(icon.begin() + at + 2,
                                                icon.begin() + at + 2 + size * size);
        at += 2 + size * size;
        if (size < toggle.width()) {
            // 26 x 23 shrinks to 16 x 14 or 24 x 21, a transparent row above and below.
            const long height = toggle.height() * size / toggle.width();
            const long top = (size - height) / 2;
            EXPECT_EQ(pixels[0], 0u);
            EXPECT_EQ(pixels[top * size], argb(toggle.pixel(0, 0)));
            EXPECT_EQ(pixels[(top + height - 1) * size + size - 1], argb(toggle.pixel(25, 22)));
            EXPECT_EQ(pixels[size * size - 1], 0u);
            continue;
        }
        const long block = size / toggle.width();
        const long left = (size - block * toggle.width()) / 2;
        const long top = (size - block * toggle.height()) / 2;
        for (long y = 0; y < size; ++y) {
            for (long x = 0; x < size; ++x) {
                const bool inside = x >= left && x < left + block * toggle.width() && y >= top &&
                                    y < top + block * toggle.height();
                const std::uint32_t expected =
                    inside ? argb(toggle.pixel((x - left) / block, (y - top) / block)) : 0;
                ASSERT_EQ(pixels[y * size + x], expected)
                    << size << " px icon at " << x << ", " << y;
            }
        }
    }
    EXPECT_EQ(at, icon.size());
}

TEST(FltkWindowManager, MapsOnceWhereActivateLeftItAsATaskbarCitizenOnBlack) {
    Display* const x = probe();
    const Window root = DefaultRootWindow(x);
    // The probe plays the window manager: the map comes to it as a request, and it looks at the
    // window as a manager or a panel would before it maps it.
    XSelectInput(x, root, SubstructureRedirectMask);
    pendingEvents();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({196, 132, 563, 333});
    const WindowGeometry activated{300, 400, 26, 23};
    const WindowGeometry opened{300, 100, 244, 323};
    Window strip = None;
    ScriptedWindow window({
        [&] {
            for (const XEvent& event : pendingEvents()) {
                EXPECT_NE(event.type, ConfigureRequest) << "placed again before the first map";
                if (event.type == MapRequest && strip == None)
                    strip = event.xmaprequest.window;
            }
            if (strip == None)
                return false;
            EXPECT_EQ((*session->x).geometry(strip), onScreen(activated));
            XClassHint classes{};
            EXPECT_TRUE(XGetClassHint(x, strip, &classes));
            EXPECT_STREQ(classes.res_name, "dravix");
            EXPECT_STREQ(classes.res_class, "Dravix");
            XFree(classes.res_name);
            XFree(classes.res_class);
            EXPECT_EQ(longs(strip, "_NET_WM_PID"), std::vector<long>{::getpid()});
            for (const long state : longs(strip, "_NET_WM_STATE"))
                EXPECT_NE(static_cast<Atom>(state), atom("_NET_WM_STATE_SKIP_TASKBAR"));
            // On every workspace from the map on.
            const std::vector<long> desktops = longs(strip, "_NET_WM_DESKTOP");
            EXPECT_TRUE(desktops.size() == 1 &&
                        static_cast<std::uint32_t>(desktops[0]) == 0xFFFFFFFFu);
            EXPECT_EQ(longs(strip, "_NET_WM_STATE"),
                      std::vector<long>{static_cast<long>(atom("_NET_WM_STATE_STICKY"))});
            EXPECT_EQ(sizeHints(strip), "min 26x23, max 26x23, static");
            XWMHints* hints = XGetWMHints(x, strip);
            EXPECT_TRUE(hints != nullptr && (hints->flags & InputHint) && hints->input);
            XFree(hints);
            // The largest comes once the first frame is up.
            expectToggleIcons(longs(strip, "_NET_WM_ICON"), {16, 24, 32, 48});
            XSelectInput(x, root, NoEventMask);
            XMapWindow(x, strip);
            pendingEvents();
            return true;
        },
        [&] {
            // Whatever anyone clears shows black, the window's background.
            const std::optional<Image> shown = (*session->x).windowImage(strip, 26, 23);
            if (shown != Image(26, 23, grey.rgb))
                return false;
            XClearArea(x, strip, 0, 0, 0, 0, False);
            EXPECT_EQ((*session->x).windowImage(strip, 26, 23), Image(26, 23, Rgb{}));
            expectToggleIcons(longs(strip, "_NET_WM_ICON"), {16, 24, 32, 48, 256});
            XSelectInput(x, strip, StructureNotifyMask);
            pendingEvents();
            desktop.setGeometry(opened);
            return true;
        },
        [&] {
            // A new place and size reach the server as one change, never one without the other.
            std::vector<Geometry> changes;
            for (const XEvent& event : pendingEvents()) {
                if (event.type == ConfigureNotify)
                    changes.push_back({event.xconfigure.x, event.xconfigure.y,
                                       event.xconfigure.width, event.xconfigure.height});
            }
            EXPECT_EQ(changes, std::vector<Geometry>{onScreen(opened)});
            // The range only widens: after the open it takes both sizes, and keeps them after
            // the close.
            EXPECT_EQ(sizeHints(strip), "min 26x23, max 244x323, static");
            desktop.setGeometry(activated);
            return true;
        },
        [&] {
            EXPECT_EQ(sizeHints(strip), "min 26x23, max 244x323, static");
            desktop.setGeometry({300, 0, 26, 400}); // taller only
            return true;
        },
        [&] {
            EXPECT_EQ(sizeHints(strip), "min 26x23, max 244x400, static");
            return true;
        },
    });
    window.onActivate = [&] {
        desktop.setGeometry(activated);
        desktop.present(grey);
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    XSelectInput(x, root, NoEventMask);
}

TEST(FltkWindowManager, AnErrorBoxDuringActivateBelongsToTheStripShownBeforeIt) {
    FltkDesktop desktop("Dravix");
    const WindowGeometry activated{200, 300, 26, 23};
    ScriptedWindow window({[&] {
        Fl_Window* box = Fl::modal();
        if (box == nullptr)
            return false;
        Fl_Window* strip = Fl::first_window();
        while (strip == box)
            strip = Fl::next_window(strip);
        EXPECT_NE(strip, nullptr);
        if (strip == nullptr)
            return true;
        XWindowAttributes attributes{};
        XGetWindowAttributes(probe(), fl_xid(strip), &attributes);
        EXPECT_EQ(attributes.map_state, IsViewable);
        EXPECT_EQ((*session->x).geometry(fl_xid(strip)), onScreen(activated));
        Window parent = None;
        XGetTransientForHint(probe(), fl_xid(box), &parent);
        EXPECT_EQ(parent, fl_xid(strip));
        box->hide();
        return true;
    }});
    window.onActivate = [&] {
        desktop.setGeometry(activated);
        desktop.present(grey);
        desktop.showError("File not found.");
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
}

TEST(FltkWindowManager, PointerAndPlaceStayTrueWhileTheWindowMoves) {
    XConnection& x = (*session->x);
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    ScriptedWindow* self = nullptr;
    ScriptedWindow window({
        [&] {
            x.movePointer(110, 115);
            x.pressButton(Button::middle);
            return true;
        },
        [&] { return self->logged("down 10 15 2"); },
        // The server makes the move against the old place; the program has moved the window by
        // the time it reads it. The middle button keeps the moves coming outside the window.
        [&] {
            x.movePointer(90, 95);
            desktop.setGeometry({300, 300, 26, 23});
            return true;
        },
        [&] { return self->logged("move -210 -205"); },
        [&] {
            x.releaseButton(Button::middle);
            return true;
        },
        [&] { return self->logged("up -210 -205 2"); },
        // Another client moves the window, as a window manager or the user through it would.
        [&] {
            XMoveWindow(probe(), fl_xid(Fl::first_window()), 500, 600);
            XSync(probe(), False);
            return true;
        },
        [&] {
            return desktop.geometry() == WindowGeometry{500, 600, 26, 23};
        },
    });
    self = &window;

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
}

// The exit code of a start of the second-start program from `folder`, as waitpid tells it; what
// it wrote to stderr goes to `errors` when given.
std::optional<int> secondStartFrom(const fs::path& folder, const fs::path& errors = {}) {
    dravix::x11test::ProcessOptions options;
    options.argv = {(folder / fs::path(DRAVIX_SECOND_START).filename()).string()};
    if (!errors.empty())
        options.errors.path = errors.string();
    ChildProcess start(options);
    return start.waitForExit(std::chrono::seconds(10));
}

int exitCodeOf(const std::optional<int>& status) {
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

TEST(FltkWindowManager, ASecondStartFromTheFolderBringsTheStripForwardAndEnds) {
    Display* const x = probe();
    const Window root = DefaultRootWindow(x);
    FltkDesktop desktop("Dravix");
    ASSERT_EQ(desktop.claimFolder(fs::path(DRAVIX_SECOND_START).parent_path().string() + "/"),
              dravix::ClaimOutcome::held);
    desktop.setGeometry({100, 100, 26, 23});
    XSetWindowAttributes overlay{};
    overlay.override_redirect = True;
    const Window cover = XCreateWindow(x, root, 0, 0, 400, 400, 0, CopyFromParent, InputOutput,
                                       CopyFromParent, CWOverrideRedirect, &overlay);
    std::optional<int> secondStart;
    ScriptedWindow window({
        [&] {
            XMapRaised(x, cover);
            XSelectInput(x, root, SubstructureNotifyMask);
            pendingEvents();
            secondStart = secondStartFrom(fs::path(DRAVIX_SECOND_START).parent_path());
            return true;
        },
        [&] {
            const Window strip = fl_xid(Fl::first_window());
            Window unused = None;
            Window* children = nullptr;
            unsigned count = 0;
            XQueryTree(x, root, &unused, &unused, &children, &count);
            const std::vector<Window> stack(children, children + count); // bottom first
            XFree(children);
            EXPECT_GT(std::find(stack.begin(), stack.end(), strip),
                      std::find(stack.begin(), stack.end(), cover))
                << "the strip is still under the other window";
            int activations = 0;
            for (const XEvent& event : pendingEvents()) {
                if (event.type != ClientMessage ||
                    event.xclient.message_type != atom("_NET_ACTIVE_WINDOW"))
                    continue;
                ++activations;
                EXPECT_EQ(event.xclient.window, strip);
                EXPECT_EQ(event.xclient.data.l[0], 1) << "not as the application's own request";
                EXPECT_NE(event.xclient.data.l[1], 0) << "no time of the second start";
            }
            EXPECT_EQ(activations, 1);
            return true;
        },
    });

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(secondStart, 0) << "the second start did not give way and end with status 0";
    XSelectInput(x, root, NoEventMask);
    XDestroyWindow(x, cover);

    // The claim is the folder's: a copy in another folder runs, even while this one holds its own.
    char pattern[] = "/tmp/dravix-other-folder-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path other = pattern;
    fs::copy_file(DRAVIX_SECOND_START, other / fs::path(DRAVIX_SECOND_START).filename());
    const std::optional<int> elsewhere = secondStartFrom(other);
    EXPECT_TRUE(elsewhere && WIFEXITED(*elsewhere) && WEXITSTATUS(*elsewhere) == 1)
        << "a start from another folder did not get that folder";
    fs::remove_all(other);
}

// Whoever owns the claim's selection must show itself as the strip of that very folder; anything
// else ends the start with a failure and a line that says why, never silently.
TEST(FltkWindowManager, AClaimOwnedByAnotherClientEndsTheStartWithAMessage) {
    Display* const x = probe();
    char pattern[] = "/tmp/dravix-foreign-claim-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = fs::canonical(pattern);
    fs::copy_file(DRAVIX_SECOND_START, folder / fs::path(DRAVIX_SECOND_START).filename());
    const std::string name = folder.string() + "/";
    const struct {
        const char* owner;
        std::optional<std::string> claimed; // the owner's _DRAVIX_CLAIM, when it has one
        int exitCode;
    } cases[] = {
        {"a client without the claim's property", std::nullopt, 2},
        {"the strip of another folder", "/tmp/elsewhere/", 2},
        {"a strip for this folder", name, 0},
    };
    for (const auto& owner : cases) {
        const Window window = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 1, 1, 0, 0, 0);
        if (owner.claimed)
            XChangeProperty(x, window, atom("_DRAVIX_CLAIM"), XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(owner.claimed->data()),
                            static_cast<int>(owner.claimed->size()));
        XSetSelectionOwner(x, atom(("_DRAVIX_FOLDER_" + name).c_str()), window, CurrentTime);
        XSync(x, False);
        const fs::path errors = folder / "errors.txt";
        EXPECT_EQ(exitCodeOf(secondStartFrom(folder, errors)), owner.exitCode) << owner.owner;
        std::ifstream said(errors);
        const std::string text((std::istreambuf_iterator<char>(said)),
                               std::istreambuf_iterator<char>());
        if (owner.exitCode != 0) {
            EXPECT_NE(text.find("is no Dravix strip"), std::string::npos) << owner.owner << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        } else {
            EXPECT_EQ(text, "") << owner.owner;
        }
        XDestroyWindow(x, window);
        XSync(x, False);
    }
    fs::remove_all(folder);
}

TEST(FltkWindowManager, WorkAreaLeavesOutTheStrutsOfThePanelsTheManagerLists) {
    Display* const x = probe();
    const Window root = DefaultRootWindow(x);
    FltkDesktop desktop("Dravix");
    const ScreenRect toggle{100, 100, 26, 23};
    EXPECT_EQ(desktop.workAreaNear(toggle), (ScreenRect{0, 0, 1280, 1024}));

    const Window bottom = XCreateSimpleWindow(x, root, 0, 984, 1280, 40, 0, 0, 0);
    setLongs(bottom, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL,
             {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1279});
    const Window left = XCreateSimpleWindow(x, root, 0, 0, 30, 1024, 0, 0, 0);
    setLongs(left, "_NET_WM_STRUT", XA_CARDINAL, {30, 0, 0, 0});
    // A newer property cut short counts as none.
    setLongs(left, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, {99, 0, 0, 0});
    const Window gone = XCreateSimpleWindow(x, root, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(x, gone);
    // A panel the manager has put in a frame of its own.
    const Window frame = XCreateSimpleWindow(x, root, 0, 0, 1280, 25, 0, 0, 0);
    const Window top = XCreateSimpleWindow(x, frame, 0, 0, 1280, 25, 0, 0, 0);
    setLongs(top, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 25, 0});
    XMapWindow(x, top);
    XMapWindow(x, frame);
    setLongs(root, "_NET_CLIENT_LIST", XA_WINDOW,
             {static_cast<long>(gone), static_cast<long>(bottom), static_cast<long>(left),
              static_cast<long>(top)});
    desktopSees();
    EXPECT_EQ(desktop.workAreaNear(toggle), (ScreenRect{30, 25, 1250, 959}));

    XDeleteProperty(x, root, atom("_NET_CLIENT_LIST"));
    for (const Window window : {bottom, left, frame})
        XDestroyWindow(x, window);
    XSync(x, False);
}

// Panels that no window manager lists still keep their band: a bar the manager drew itself at
// the top of the tree (fluxbox's toolbar), one inside a manager's frame (i3bar) and one two levels
// down (icewm's taskbar). The manager's _NET_WORKAREA of the current desktop bounds the area too;
// an unmapped panel and a window past those levels keep nothing. Until a manager runs, what lies
// inside a top-level window is an application's own and is not looked at.
TEST(FltkWindowManager, WorkAreaTakesEveryPanelOnTheScreenAndTheCurrentDesktopsArea) {
    Display* const x = probe();
    const Window root = DefaultRootWindow(x);
    FltkDesktop desktop("Dravix");
    const ScreenRect toggle{100, 100, 26, 23};
    const auto make = [&](Window parent, bool map) {
        const Window window = XCreateSimpleWindow(x, parent, 0, 0, 10, 10, 0, 0, 0);
        if (map)
            XMapWindow(x, window);
        return window;
    };
    const Window toolbar = make(root, true);
    setLongs(toolbar, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 0, 24});
    const Window frame = make(root, true);
    const Window bar = make(frame, true);
    setLongs(bar, "_NET_WM_STRUT_PARTIAL", XA_CARDINAL, {0, 0, 20, 0, 0, 0, 0, 0, 0, 1279, 0, 0});
    const Window deepFrame = make(root, true);
    const Window taskbar = make(make(deepFrame, true), true);
    setLongs(taskbar, "_NET_WM_STRUT", XA_CARDINAL, {0, 35, 0, 0});
    const Window tooDeep = make(taskbar, true);
    setLongs(tooDeep, "_NET_WM_STRUT", XA_CARDINAL, {0, 300, 0, 0});
    const Window hidden = make(root, false);
    setLongs(hidden, "_NET_WM_STRUT", XA_CARDINAL, {200, 0, 0, 0});
    desktopSees();
    EXPECT_EQ(desktop.workAreaNear(toggle), (ScreenRect{0, 0, 1280, 1000})) << "no manager";
    setLongs(root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, {static_cast<long>(toolbar)});
    desktopSees();
    EXPECT_EQ(desktop.workAreaNear(toggle), (ScreenRect{0, 20, 1245, 980}));

    struct Case {
        const char* what;
        std::vector<long> workAreas;
        long current;
        ScreenRect expected;
    };
    // The first desktops' areas are the whole screen; the last one's is another.
    const auto desktops = [](std::size_t count) {
        std::vector<long> areas;
        for (std::size_t desktop = 0; desktop + 1 < count; ++desktop)
            areas.insert(areas.end(), {0, 0, 1280, 1024});
        areas.insert(areas.end(), {50, 0, 1000, 1000});
        return areas;
    };
    for (const Case& each : {
             // A manager may have as many as 1024 desktops; past that, the list is broken.
             Case{"the last of 1024 desktops", desktops(1024), 1023, {50, 20, 1000, 980}},
             Case{"the last of 1025 desktops: the first", desktops(1025), 1024, {0, 20, 1245, 980}},
             Case{"the second desktop's",
                  {0, 0, 1280, 1024, 50, 0, 1000, 1000},
                  1,
                  {50, 20, 1000, 980}},
             Case{"the first desktop's",
                  {10, 30, 1270, 900, 50, 0, 1000, 1000},
                  0,
                  {10, 30, 1235, 900}},
             Case{
                 "a desktop past the list: the first", {10, 30, 1270, 900}, 3, {10, 30, 1235, 900}},
             Case{"a second desktop cut short: the first",
                  {10, 30, 1270, 900, 50, 0, 1000},
                  1,
                  {10, 30, 1235, 900}},
             Case{"a desktop that is no number: the first",
                  {10, 30, 1270, 900, 50, 0, 1000, 1000},
                  -1,
                  {10, 30, 1235, 900}},
             Case{"a list cut short", {10, 30, 1270}, 0, {0, 20, 1245, 980}},
             Case{"an area off the monitor", {5000, 5000, 100, 100}, 0, {0, 20, 1245, 980}},
             Case{"an empty area", {0, 0, 0, 0}, 0, {0, 20, 1245, 980}},
         }) {
        SCOPED_TRACE(each.what);
        setLongs(root, "_NET_WORKAREA", XA_CARDINAL, each.workAreas);
        setLongs(root, "_NET_CURRENT_DESKTOP", XA_CARDINAL, {each.current});
        desktopSees();
        EXPECT_EQ(desktop.workAreaNear(toggle), each.expected);
    }

    XDeleteProperty(x, root, atom("_NET_WORKAREA"));
    XDeleteProperty(x, root, atom("_NET_CURRENT_DESKTOP"));
    XDeleteProperty(x, root, atom("_NET_SUPPORTING_WM_CHECK"));
    for (const Window window : {toolbar, frame, deepFrame, hidden})
        XDestroyWindow(x, window);
    XSync(x, False);
}

// The reading asks about every window of a step at once: a desktop of a hundred applications'
// windows, each with a child as toolkits make them, costs the round trips of a desktop of two,
// counted through a proxy between the reader and the server, and each window that is no panel
// one answer. The answer is then kept until a panel's strut changes.
TEST(FltkWindowManager, WorkAreaReadTakesAsManyRoundTripsForAHundredWindowsAsForTwo) {
    Display* const x = probe();
    const Window root = DefaultRootWindow(x);
    dravix::x11test::XProxy proxy;
    Display* const reader = XOpenDisplay(proxy.displayName().c_str());
    ASSERT_NE(reader, nullptr);
    const Window panel = XCreateSimpleWindow(x, root, 0, 0, 1280, 30, 0, 0, 0);
    setLongs(panel, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 30, 0});
    XMapWindow(x, panel);
    std::vector<long> listed{static_cast<long>(panel)};
    struct Cost {
        int roundTrips;
        int replies;
    };
    const auto costWith = [&](std::size_t applications) {
        while (listed.size() < applications + 1) {
            const Window window = XCreateSimpleWindow(x, root, 0, 0, 100, 100, 0, 0, 0);
            XMapWindow(x, XCreateSimpleWindow(x, window, 0, 0, 100, 100, 0, 0, 0));
            XMapWindow(x, window);
            listed.push_back(static_cast<long>(window));
        }
        setLongs(root, "_NET_CLIENT_LIST", XA_WINDOW, listed);
        XSync(x, False);
        dravix::fltk::MonitorReader monitors;
        proxy.reset();
        EXPECT_EQ(monitors.read(reader).front().workArea, (ScreenRect{0, 30, 1280, 994}));
        return Cost{proxy.roundTrips(), proxy.replies()};
    };
    costWith(0); // the atoms, which the program asks for with the rest at the start
    // The reader's own windows, a strip and its tip, are never asked about.
    const Cost alone = costWith(0);
    for (const int width : {26, 300}) {
        const Window own =
            XCreateSimpleWindow(reader, DefaultRootWindow(reader), 0, 500, width, 23, 0, 0, 0);
        const long normal = static_cast<long>(XInternAtom(reader, "_NET_WM_WINDOW_TYPE_NORMAL", 0));
        XChangeProperty(reader, own, XInternAtom(reader, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&normal), 1);
        XMapWindow(reader, own);
    }
    XSync(reader, False);
    const Cost withOwn = costWith(0);
    EXPECT_EQ(withOwn.roundTrips, alone.roundTrips);
    EXPECT_EQ(withOwn.replies, alone.replies);
    const Cost two = costWith(2);
    const Cost hundred = costWith(100);
    EXPECT_LE(two.roundTrips, 4);
    EXPECT_EQ(hundred.roundTrips, two.roundTrips) << "round trips with two windows";
    EXPECT_EQ(hundred.replies - two.replies, 98) << "replies with two windows: " << two.replies;

    // A dock without a strut is heard of, so that the strut it sets later counts at once; an
    // application's window of the normal type is no panel, and its moves cost nothing.
    const auto typed = [&](Window window, const char* type) {
        setLongs(window, "_NET_WM_WINDOW_TYPE", XA_ATOM, {static_cast<long>(atom(type))});
        return window;
    };
    const Window dock =
        typed(XCreateSimpleWindow(x, root, 0, 0, 1280, 20, 0, 0, 0), "_NET_WM_WINDOW_TYPE_DOCK");
    XMapWindow(x, dock);
    const Window application = typed(static_cast<Window>(listed[1]), "_NET_WM_WINDOW_TYPE_NORMAL");
    XSync(x, False);
    dravix::fltk::MonitorReader monitors;
    const auto readsAgainAfter = [&](const std::function<void()>& change) {
        change();
        XSync(x, False);
        XSync(reader, False);
        proxy.reset();
        const ScreenRect area = monitors.read(reader).front().workArea;
        return std::pair{area, proxy.roundTrips()};
    };
    monitors.read(reader);
    EXPECT_EQ(readsAgainAfter([] {}).second, 0) << "nothing changed, nothing is read again";
    EXPECT_EQ(readsAgainAfter([&] { XMoveWindow(x, application, 50, 50); }).second, 0)
        << "an application's window moved";
    EXPECT_EQ(readsAgainAfter([&] {
                  setLongs(panel, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 45, 0});
              }).first,
              (ScreenRect{0, 45, 1280, 979}));
    EXPECT_EQ(readsAgainAfter([&] {
                  setLongs(dock, "_NET_WM_STRUT", XA_CARDINAL, {0, 0, 60, 0});
              }).first,
              (ScreenRect{0, 60, 1280, 964}));
    XDestroyWindow(x, dock);

    XCloseDisplay(reader);
    XDeleteProperty(x, root, atom("_NET_CLIENT_LIST"));
    for (const long window : listed)
        XDestroyWindow(x, static_cast<Window>(window));
    XSync(x, False);
}

TEST(WorkAreas, EachMonitorLosesOnlyTheBandsThatReachIntoIt) {
    // Two monitors side by side, the right one shorter: the root window is 2560 x 1024.
    const ScreenRect bounds[] = {{0, 0, 1280, 1024}, {1280, 0, 1280, 768}};
    const Strut struts[] = {
        // A panel along the bottom of the shorter monitor: its band reaches up from the root's
        // bottom edge, across that monitor only.
        {0, 0, 0, 1024 - 768 + 30, 0, 0, 0, 0, 0, 0, 1280, 2559},
        // Panels along all of the left, the right and the top edge, as _NET_WM_STRUT gives them.
        dravix::fltk::strutAlongWholeEdges({40, 50, 5, 0}, 2560, 1024),
        // A panel at the top of the left monitor.
        {0, 0, 25, 0, 0, 0, 0, 0, 0, 1279, 0, 0},
    };
    const std::vector<dravix::Monitor> monitors =
        dravix::fltk::monitorsLessStruts(bounds, 2560, 1024, struts);
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_EQ(monitors[0].workArea, (ScreenRect{40, 25, 1240, 999}));
    EXPECT_EQ(monitors[1].workArea, (ScreenRect{1280, 5, 1230, 733}));

    // A band that ends before it starts keeps nothing; one whose last pixel is a monitor's first
    // reaches into it; one at the bottom edge is as long as its ends say and as deep as its width;
    // one a pixel wide takes its pixel.
    const Strut edges[] = {
        {0, 0, 30, 0, 0, 0, 0, 0, 600, 599, 0, 0},
        {0, 0, 10, 0, 0, 0, 0, 0, 1000, 1280, 0, 0},
        {0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 1200, 1279},
        {0, 1, 0, 0, 0, 0, 0, 1023, 0, 0, 0, 0},
    };
    const std::vector<dravix::Monitor> edged =
        dravix::fltk::monitorsLessStruts(bounds, 2560, 1024, edges);
    ASSERT_EQ(edged.size(), 2u);
    EXPECT_EQ(edged[0].workArea, (ScreenRect{0, 10, 1280, 614}));
    EXPECT_EQ(edged[1].workArea, (ScreenRect{1280, 10, 1279, 758}));

    // Bands that cross leave an empty area, never a negative one.
    const Strut crossing[] = {dravix::fltk::strutAlongWholeEdges({2000, 1000, 0, 0}, 2560, 1024)};
    const std::vector<dravix::Monitor> crossed =
        dravix::fltk::monitorsLessStruts(bounds, 2560, 1024, crossing);
    ASSERT_EQ(crossed.size(), 2u);
    EXPECT_EQ(crossed[0].workArea, (ScreenRect{1280, 0, 0, 1024}));
    EXPECT_EQ(crossed[1].workArea, (ScreenRect{2000, 0, 0, 768}));

    // A width past any screen, as a broken panel may give, covers every monitor along its edge.
    const Strut huge[] = {dravix::fltk::strutAlongWholeEdges({0, 0, 0, 1L << 40}, 2560, 1024)};
    const std::vector<dravix::Monitor> covered =
        dravix::fltk::monitorsLessStruts(bounds, 2560, 1024, huge);
    ASSERT_EQ(covered.size(), 2u);
    EXPECT_EQ(covered[0].workArea, (ScreenRect{0, 0, 1280, 0}));
    EXPECT_EQ(covered[1].workArea, (ScreenRect{1280, 0, 1280, 0}));
}

// A panel's strut comes from the newer property when it is whole, else from the older one along
// the whole edges of a root window wider than it is high; neither whole is no strut.
TEST(WorkAreas, APanelsStrutComesFromTheWholeOfItsTwoProperties) {
    const std::vector<long> partial{0, 0, 25, 0, 0, 0, 0, 0, 0, 1279, 0, 0};
    const std::vector<long> plain{40, 0, 5, 0};
    const std::vector<long> cutShort{99, 0, 0, 0};
    using dravix::fltk::panelStrut;
    EXPECT_EQ(panelStrut(partial, plain, 2560, 1024),
              (Strut{0, 0, 25, 0, 0, 0, 0, 0, 0, 1279, 0, 0}));
    EXPECT_EQ(panelStrut(cutShort, plain, 2560, 1024),
              (Strut{40, 0, 5, 0, 0, 1023, 0, 1023, 0, 2559, 0, 2559}));
    EXPECT_EQ(panelStrut(cutShort, {}, 2560, 1024), std::nullopt);
}

} // namespace
