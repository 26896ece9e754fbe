#include "platform/fltk/fltk_desktop.h"

// GoogleTest comes before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dravix::Frame;
using dravix::MouseButton;
using dravix::WindowGeometry;
using dravix::fltk::FltkDesktop;

// A private X server with no window manager, so the backend has to place its window itself, and
// an empty home folder, so anything the toolkit writes there shows up.
class PrivateDesktopSession : public testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-home-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home_ = pattern;
        ::setenv("HOME", home_.c_str(), 1);

        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const std::string readyFd = std::to_string(ready[1]);
        server_ = ::fork();
        ASSERT_GE(server_, 0);
        if (server_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // the server ends with us, however we end
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
            ::execlp("Xvfb", "Xvfb", "-displayfd", readyFd.c_str(), "-screen", "0", "1280x1024x24",
                     "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(ready[1]);
        // Xvfb writes its display number once it accepts connections.
        std::string number;
        pollfd readable{ready[0], POLLIN, 0};
        char digit = 0;
        while (::poll(&readable, 1, 10000) > 0 && ::read(ready[0], &digit, 1) == 1 && digit != '\n')
            number += digit;
        ::close(ready[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + number).c_str(), 1);
    }

    void TearDown() override {
        if (server_ > 0) {
            ::kill(server_, SIGTERM);
            ::waitpid(server_, nullptr, 0);
        }
        if (home_.empty())
            return;
        EXPECT_TRUE(fs::is_empty(home_)) << "the toolkit wrote into the home folder";
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

private:
    pid_t server_ = -1;
    std::string home_;
};

testing::Environment* const session = testing::AddGlobalTestEnvironment(new PrivateDesktopSession);

// A second X connection that looks at the screen the way another program would.
class XProbe {
public:
    XProbe() : display_(XOpenDisplay(nullptr)) {}
    ~XProbe() {
        if (display_ != nullptr)
            XCloseDisplay(display_);
    }
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool connected() const { return display_ != nullptr; }

    // The mapped top-level windows with this title.
    std::vector<Window> windowsTitled(const std::string& title) {
        Window root = DefaultRootWindow(display_);
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> found;
        if (XQueryTree(display_, root, &root, &parent, &children, &count) == 0)
            return found;
        for (unsigned i = 0; i < count; ++i) {
            char* name = nullptr;
            XWindowAttributes attributes{};
            if (XFetchName(display_, children[i], &name) != 0 && name != nullptr && title == name &&
                XGetWindowAttributes(display_, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable)
                found.push_back(children[i]);
            if (name != nullptr)
                XFree(name);
        }
        if (children != nullptr)
            XFree(children);
        return found;
    }

    WindowGeometry placement(Window window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window, &attributes);
        int left = 0;
        int top = 0;
        Window child = 0;
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &left, &top,
                              &child);
        return {left, top, attributes.width, attributes.height};
    }

    // Whether a window manager would draw a frame: the Motif hints' decorations field, when set.
    bool undecorated(Window window) {
        const Atom hints = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, window, hints, 0, 5, False, AnyPropertyType, &type,
                               &format, &count, &left, &data) != Success ||
            data == nullptr)
            return false;
        const auto* fields = reinterpret_cast<const long*>(data);
        constexpr long decorationsFlag = 2;
        const bool result = count >= 3 && (fields[0] & decorationsFlag) != 0 && fields[2] == 0;
        XFree(data);
        return result;
    }

    // What the screen shows in area, as 24-bit RGB rows.
    std::vector<std::uint8_t> screen(const WindowGeometry& area) {
        std::vector<std::uint8_t> rgb;
        XImage* image = XGetImage(display_, DefaultRootWindow(display_), area.left, area.top,
                                  static_cast<unsigned>(area.width),
                                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
        if (image == nullptr)
            return rgb;
        const auto channel = [](unsigned long pixel, unsigned long mask) {
            return static_cast<std::uint8_t>((pixel & mask) >> std::countr_zero(mask));
        };
        for (int y = 0; y < area.height; ++y) {
            for (int x = 0; x < area.width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                rgb.push_back(channel(pixel, image->red_mask));
                rgb.push_back(channel(pixel, image->green_mask));
                rgb.push_back(channel(pixel, image->blue_mask));
            }
        }
        XDestroyImage(image);
        return rgb;
    }

    // What a window manager sends when the user closes a window.
    void requestClose(Window window) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &event);
        XFlush(display_);
    }

private:
    Display* display_;
};

// Synthetic input through the XTEST extension, as a real mouse and keyboard would give it.
bool xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments).c_str()) == 0;
}

void closeAllWindows() {
    while (Fl_Window* window = Fl::first_window())
        window->hide();
}

// Plays a list of steps, one per tick, and records every event the backend delivers. A step
// returns false to be tried again at the next tick. Ticks that arrive while a step is still
// running (under a modal box the step opened) go to whileStepRuns.
class ScriptedWindow : public dravix::WindowEvents {
public:
    using Step = std::function<bool()>;
    static constexpr int tickLimit = 150;
    // A limit of its own for when the ticks stop altogether.
    static constexpr double wallClockLimitSeconds = 30;

    explicit ScriptedWindow(std::vector<Step> steps) : steps_(std::move(steps)) {
        Fl::add_timeout(wallClockLimitSeconds, onWatchdog, this);
    }
    ~ScriptedWindow() override { Fl::remove_timeout(onWatchdog, this); }
    ScriptedWindow(const ScriptedWindow&) = delete;
    ScriptedWindow& operator=(const ScriptedWindow&) = delete;

    std::function<void()> onActivate;
    std::function<void()> whileStepRuns;
    std::vector<std::string> log;

    void activate() override {
        log.push_back("activate");
        if (onActivate)
            onActivate();
    }
    void mouseDown(int x, int y, MouseButton button) override {
        log.push_back(describe("down", x, y) + " " + std::to_string(static_cast<int>(button)));
    }
    void mouseMove(int x, int y) override { log.push_back(describe("move", x, y)); }
    void mouseUp(int x, int y, MouseButton button) override {
        log.push_back(describe("up", x, y) + " " + std::to_string(static_cast<int>(button)));
    }
    void keyDown(int virtualKey) override { log.push_back("key " + std::to_string(virtualKey)); }

    void tick() override {
        ++ticks_;
        if (ticks_ > tickLimit) {
            if (!timedOut_)
                ADD_FAILURE() << "script stuck at step " << next_;
            timedOut_ = true;
            closeAllWindows();
            return;
        }
        if (stepRunning_) {
            if (whileStepRuns)
                whileStepRuns();
            return;
        }
        if (next_ == steps_.size()) {
            closeAllWindows();
            return;
        }
        stepRunning_ = true;
        const bool done = steps_[next_]();
        stepRunning_ = false;
        if (done)
            ++next_;
    }

    bool finished() const { return next_ == steps_.size(); }
    bool timedOut() const { return timedOut_; }
    bool logged(const std::string& entry) const {
        return std::find(log.begin(), log.end(), entry) != log.end();
    }
    // Everything but the moves, whose number depends on how the server coalesces them.
    std::vector<std::string> withoutMoves() const {
        std::vector<std::string> kept;
        std::copy_if(log.begin(), log.end(), std::back_inserter(kept),
                     [](const std::string& entry) { return entry.rfind("move", 0) != 0; });
        return kept;
    }

private:
    static void onWatchdog(void* self) {
        ADD_FAILURE() << "no progress for " << wallClockLimitSeconds << " s; ticks stopped?";
        static_cast<ScriptedWindow*>(self)->timedOut_ = true;
        closeAllWindows();
    }

    static std::string describe(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + " " + std::to_string(y);
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int ticks_ = 0;
    bool stepRunning_ = false;
    bool timedOut_ = false;
};

Frame patternFrame(int width, int height, int seed) {
    Frame frame{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame.rgb.push_back(static_cast<std::uint8_t>(x * 9 + seed));
            frame.rgb.push_back(static_cast<std::uint8_t>(y * 7 + seed * 3));
            frame.rgb.push_back(static_cast<std::uint8_t>(x * y + seed * 50));
        }
    }
    return frame;
}

// The first byte where two pictures differ, or -1.
long firstDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size())
        return 0;
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin());
    return mismatch.first == a.end() ? -1 : mismatch.first - a.begin();
}

// The first widget inside group (at any depth) that is a T and passes the test.
template <class T>
T* findWidget(
    Fl_Group* group, const std::function<bool(T&)>& test = [](T&) { return true; }) {
    for (int i = 0; i < group->children(); ++i) {
        Fl_Widget* child = group->child(i);
        if (auto* match = dynamic_cast<T*>(child); match != nullptr && test(*match))
            return match;
        if (Fl_Group* inner = child->as_group(); inner != nullptr) {
            if (T* found = findWidget<T>(inner, test))
                return found;
        }
    }
    return nullptr;
}

Fl_Widget* findVisibleLabel(Fl_Group* group, const char* label) {
    return findWidget<Fl_Widget>(group, [label](Fl_Widget& widget) {
        return widget.visible() && widget.label() != nullptr &&
               std::strcmp(widget.label(), label) == 0;
    });
}

TEST(FltkDesktop, PlacesTheWindowExactlyShowsFramesOneToOneAndClosesOnRequest) {
    XProbe probe;
    ASSERT_TRUE(probe.connected());
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({196, 132, 563, 333}); // the creation geometry, while hidden

    const Frame closed = patternFrame(26, 23, 1);
    const Frame open = patternFrame(244, 323, 2);
    const WindowGeometry closedPlace{196, 132, 26, 23};
    const WindowGeometry openPlace{300, 150, 244, 323};
    ScriptedWindow window({
        [&] {
            const std::vector<Window> found = probe.windowsTitled("Dravix");
            EXPECT_EQ(found.size(), 1u);
            if (found.size() != 1)
                return true;
            EXPECT_EQ(probe.placement(found[0]), closedPlace);
            EXPECT_EQ(firstDifference(probe.screen(closedPlace), closed.rgb), -1);
            EXPECT_TRUE(probe.undecorated(found[0]));

            desktop.setGeometry(openPlace);
            EXPECT_EQ(desktop.geometry(), openPlace);
            desktop.present(open);
            return true;
        },
        [&] {
            const std::vector<Window> found = probe.windowsTitled("Dravix");
            EXPECT_EQ(found.size(), 1u);
            if (found.size() != 1)
                return true;
            EXPECT_EQ(probe.placement(found[0]), openPlace);
            EXPECT_EQ(firstDifference(probe.screen(openPlace), open.rgb), -1);
            for (Window each : found)
                probe.requestClose(each);
            return true;
        },
        [&] { return false; }, // the run must end before this gives up
    });
    window.onActivate = [&] {
        EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 132, 563, 333}));
        desktop.setGeometry(closedPlace);
        desktop.present(closed);
    };

    EXPECT_EQ(desktop.run(window), 0);
    EXPECT_FALSE(window.timedOut());
    EXPECT_EQ(Fl::first_window(), nullptr);
    ASSERT_FALSE(window.log.empty());
    EXPECT_EQ(window.log.front(), "activate");
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(), "activate"), 1);
}

TEST(FltkDesktop, DeliversMouseAndKeysInWindowCoordinates) {
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 50, 40});
    ScriptedWindow* self = nullptr;
    ScriptedWindow window({
        [&] { return xdotool("mousemove 110 115"); },
        [&] { return self->logged("move 10 15"); },
        [&] { return xdotool("click 1 click 3 click 2"); },
        [&] { return self->logged("up 10 15 2"); },
        // A left press keeps the window's attention when the pointer leaves it.
        [&] { return xdotool("mousedown 1 mousemove 90 95 mouseup 1"); },
        [&] { return self->logged("up -10 -5 0"); },
        [&] { return xdotool("mousemove 110 115 key Down a shift+b Escape"); },
        [&] { return self->logged("key 27"); },
        [&] {
            EXPECT_TRUE(Fl::first_window() != nullptr) << "Escape closed the window";
            return true;
        },
    });
    self = &window;

    EXPECT_EQ(desktop.run(window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_TRUE(window.logged("move -10 -5"));
    const std::vector<std::string> expected{
        "activate",     "down 10 15 0", "up 10 15 0",   "down 10 15 1", "up 10 15 1",
        "down 10 15 2", "up 10 15 2",   "down 10 15 0", "up -10 -5 0",  "key 40",
        "key 65",       "key 16",       "key 66",       "key 27",
    };
    EXPECT_EQ(window.withoutMoves(), expected);
}

TEST(FltkDesktop, ErrorBoxIsModalAndTheTickGoesOn) {
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    using Clock = std::chrono::steady_clock;
    int ticksUnderBox = 0;
    Clock::time_point secondTick;
    Clock::duration tenTicks{};
    ScriptedWindow window({
        // The box opens where the pointer is; keep it clear of the main window.
        [&] { return xdotool("mousemove 900 700"); },
        [&] {
            desktop.showError("File not found.");
            return true;
        },
    });
    window.whileStepRuns = [&] {
        ++ticksUnderBox;
        Fl_Window* box = Fl::modal();
        ASSERT_NE(box, nullptr) << "no modal box";
        if (ticksUnderBox == 1) {
            EXPECT_STREQ(box->label(), "Dravix");
            EXPECT_NE(findVisibleLabel(box, "File not found."), nullptr);
            EXPECT_NE(findVisibleLabel(box, "OK"), nullptr);
            EXPECT_NE(findVisibleLabel(box, "!"), nullptr) << "not the error icon";
            EXPECT_EQ(findVisibleLabel(box, "Cancel"), nullptr);
            // The main window takes no input while the box is up.
            EXPECT_TRUE(xdotool("mousemove 110 110 click 1 key Down"));
        }
        if (ticksUnderBox == 2)
            secondTick = Clock::now();
        if (ticksUnderBox == 12) {
            tenTicks = Clock::now() - secondTick;
            box->hide();
        }
    };

    EXPECT_EQ(desktop.run(window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(ticksUnderBox, 12);
    EXPECT_GT(tenTicks, std::chrono::milliseconds(800));
    EXPECT_LT(tenTicks, std::chrono::milliseconds(2500));
    EXPECT_EQ(window.withoutMoves(), std::vector<std::string>{"activate"});
}

TEST(FltkDesktop, FileDialogOffersTheLastNameAndTheTickGoesOn) {
    char pattern[] = "/tmp/dravix-chooser-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const std::string file = (folder / "pick me; $now.txt").string();
    std::ofstream(file) << "x\n";

    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    // Each round opens the dialog with a name, waits three ticks under it, then checks the name
    // field and presses a button.
    struct Round {
        std::string initialName;
        std::string shownName;
        bool accept;
        std::optional<std::string> result{"not run"};
    };
    std::vector<Round> rounds{
        {file, file, true},
        {file, file, false},
        {"", fs::current_path().string() + "/", false},
    };
    std::size_t round = 0;
    int ticksUnderDialog = 0;
    std::vector<ScriptedWindow::Step> steps;
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        steps.push_back([&, i] {
            round = i;
            ticksUnderDialog = 0;
            rounds[i].result = desktop.chooseFile(rounds[i].initialName);
            return true;
        });
    }
    ScriptedWindow window(steps);
    window.whileStepRuns = [&] {
        if (++ticksUnderDialog != 3)
            return;
        Fl_Window* dialog = Fl::modal();
        ASSERT_NE(dialog, nullptr) << "the dialog is not modal";
        auto* name = findWidget<Fl_File_Input>(dialog);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(std::string(name->value()), rounds[round].shownName) << "round " << round;
        Fl_Widget* button = rounds[round].accept ? findWidget<Fl_Return_Button>(dialog)
                                                 : findVisibleLabel(dialog, fl_cancel);
        ASSERT_NE(button, nullptr);
        button->do_callback();
    };

    EXPECT_EQ(desktop.run(window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(rounds[0].result, file);
    EXPECT_EQ(rounds[1].result, std::nullopt);
    EXPECT_EQ(rounds[2].result, std::nullopt);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

} // namespace
