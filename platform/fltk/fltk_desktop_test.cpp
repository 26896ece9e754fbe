#include "platform/fltk/fltk_desktop.h"

#include "platform/fltk/desktop_file_chooser.h"
#include "platform/fltk/fltk_input.h"
#include "platform/fltk/fltk_settings.h"

// GoogleTest comes before Xlib, whose macros (None, Bool) would break its templates.
#include "tests/support/scripted_window.h"
#include "tests/support/x11/image_assertions.h"
#include "tests/support/x11/private_x_server.h"
#include "tests/support/x11/x_connection.h"

#include "platform/x11/x11_properties.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Tooltip.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dravix::Frame;
using dravix::MouseButton;
using dravix::WindowGeometry;
using dravix::fltk::ChooserKind;
using dravix::fltk::ChooserProgram;
using dravix::fltk::FltkDesktop;
using dravix::fltk::keyCodeFromFltk;
using dravix::fltk::pickDesktopChooser;
using dravix::fltktest::ScriptedWindow;
using dravix::x11test::Button;
using dravix::x11test::Geometry;
using dravix::x11test::Image;
using dravix::x11test::PrivateXServer;
using dravix::x11test::XConnection;

// A private X server with no window manager, so the backend has to place its window itself, and
// an empty home folder, so anything the toolkit writes there shows up; the home folder is also
// the whole PATH, so that no desktop file chooser stands in for FLTK's. The tests look at the
// screen and give input through an X connection of their own, as another program would.
class PrivateDesktopSession : public testing::Environment {
public:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-home-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        home_ = pattern;
        ::setenv("HOME", home_.c_str(), 1);
        server_.emplace();
        x_.emplace();
        ::setenv("PATH", home_.c_str(), 1);
    }

    void TearDown() override {
        x_.reset();
        server_.reset();
        if (home_.empty())
            return;
        EXPECT_TRUE(fs::is_empty(home_)) << "the toolkit wrote into the home folder";
        std::error_code ignored;
        fs::remove_all(home_, ignored);
    }

    XConnection& x() { return *x_; }

private:
    std::optional<PrivateXServer> server_;
    std::optional<XConnection> x_;
    std::string home_;
};

auto* const session = static_cast<PrivateDesktopSession*>(
    testing::AddGlobalTestEnvironment(new PrivateDesktopSession));

Geometry onScreen(const WindowGeometry& place) {
    return {place.left, place.top, place.width, place.height};
}

// Whether a window manager would draw a frame: the Motif hints' decorations field, when set.
bool undecorated(Display* display, Window window) {
    const std::vector<long> fields =
        dravix::x11::cardinals(display, window, XInternAtom(display, "_MOTIF_WM_HINTS", False), 5);
    constexpr long decorationsFlag = 2;
    return fields.size() >= 3 && (fields[0] & decorationsFlag) != 0 && fields[2] == 0;
}

// What a window manager sends when the user closes a window.
void requestClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

// The screen inside the window's place shows the frame pixel for pixel; a failure leaves both
// pictures as BMP files in the test's temporary folder.
testing::AssertionResult screenShows(const WindowGeometry& place, const Frame& frame,
                                     const std::string& label) {
    return dravix::x11test::sameImage(session->x().capture(onScreen(place)),
                                      Image(frame.width, frame.height, frame.rgb), label,
                                      dravix::x11test::currentTestFolder(testing::TempDir()));
}

std::string keyEntry(int code) {
    return "key " + std::to_string(code);
}

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
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({196, 132, 563, 333}); // the creation geometry, while hidden

    const Frame closed = patternFrame(26, 23, 1);
    const Frame open = patternFrame(244, 323, 2);
    const WindowGeometry closedPlace{196, 132, 26, 23};
    const WindowGeometry openPlace{300, 150, 244, 323};
    const WindowGeometry largerPlace{300, 150, 260, 340};
    Frame largerShown{260, 340, std::vector<std::uint8_t>(260 * 340 * 3, 0)};
    for (int y = 0; y < 323; ++y)
        std::copy_n(open.rgb.begin() + y * 244 * 3, 244 * 3, largerShown.rgb.begin() + y * 260 * 3);
    ScriptedWindow window({
        [&] {
            const std::vector<Window> found = x.windowsTitled("Dravix");
            EXPECT_EQ(found.size(), 1u);
            if (found.size() != 1)
                return true;
            EXPECT_EQ(x.geometry(found[0]), onScreen(closedPlace));
            EXPECT_TRUE(screenShows(closedPlace, closed, "closed"));
            EXPECT_TRUE(undecorated(x.display(), found[0]));

            desktop.setGeometry(openPlace);
            EXPECT_EQ(desktop.geometry(), openPlace);
            desktop.present(open);
            return true;
        },
        [&] {
            const std::vector<Window> found = x.windowsTitled("Dravix");
            EXPECT_EQ(found.size(), 1u);
            if (found.size() != 1)
                return true;
            EXPECT_EQ(x.geometry(found[0]), onScreen(openPlace));
            EXPECT_TRUE(screenShows(openPlace, open, "open"));
            desktop.setGeometry(largerPlace);
            return true;
        },
        [&] {
            // Until the next frame, what the last one does not cover is black.
            EXPECT_TRUE(screenShows(largerPlace, largerShown, "larger"));
            for (Window each : x.windowsTitled("Dravix"))
                requestClose(x.display(), each);
            return true;
        },
        [&] { return false; }, // the run must end before this gives up
    });
    window.onActivate = [&] {
        EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 132, 563, 333}));
        desktop.setGeometry(closedPlace);
        desktop.present(closed);
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_FALSE(window.timedOut());
    EXPECT_EQ(Fl::first_window(), nullptr);
    ASSERT_FALSE(window.log.empty());
    EXPECT_EQ(window.log.front(), "activate");
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(), "activate"), 1);
}

// Xft measures in 16 bits: a path of any length measures wide enough to be shortened, never
// wrapped round to a sliver.
TEST(FltkDesktop, MeasuresATipOfAnyLength) {
    FltkDesktop desktop("Dravix");
    const std::string piece = "/home/me/a folder with a long name \xc3\xa9";
    std::string path;
    for (int i = 0; i < 2000; ++i)
        path += piece;
    const int one = desktop.tipSize(piece).width;
    const int all = desktop.tipSize(path).width;
    EXPECT_GT(one, 0);
    EXPECT_GT(all, 1000 * one);
    // A tooltip's look: the text with 4 pixels beside it and 2 above and below.
    fl_font(Fl_Tooltip::font(), Fl_Tooltip::size());
    EXPECT_EQ(one, static_cast<int>(std::ceil(fl_width(piece.c_str()))) + 8);
    EXPECT_EQ(desktop.tipSize(piece).height, fl_height() + 4);
}

TEST(FltkDesktop, DeliversMouseAndKeysInWindowCoordinates) {
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 50, 40});
    const std::string escape = keyEntry(keyCodeFromFltk(FL_Escape));
    ScriptedWindow* self = nullptr;
    ScriptedWindow window({
        [&] {
            x.movePointer(110, 115);
            return true;
        },
        [&] { return self->logged("move 10 15"); },
        [&] {
            for (Button button : {Button::left, Button::right, Button::middle})
                x.click(110, 115, button);
            return true;
        },
        [&] { return self->logged("up 10 15 2"); },
        // A left press keeps the window's attention when the pointer leaves it, and the moves
        // come while the button is held: the release waits until the move has arrived.
        [&] {
            x.pressButton(Button::left);
            x.movePointer(90, 95);
            return true;
        },
        [&] { return self->logged("move -10 -5"); },
        [&] {
            x.releaseButton(Button::left);
            return true;
        },
        [&] { return self->logged("up -10 -5 0"); },
        [&] {
            x.movePointer(110, 115);
            x.tapKey(XK_Down);
            x.tapKey(XK_a);
            x.tapKeyWith(XK_Shift_L, XK_b);
            x.tapKey(XK_Escape);
            return true;
        },
        [&] { return self->logged(escape); },
        [&] {
            EXPECT_TRUE(Fl::first_window() != nullptr) << "Escape closed the window";
            return true;
        },
    });
    self = &window;

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    const std::vector<std::string> expected{
        "activate",
        "down 10 15 0",
        "up 10 15 0",
        "down 10 15 1",
        "up 10 15 1",
        "down 10 15 2",
        "up 10 15 2",
        "down 10 15 0",
        "up -10 -5 0",
        "key 40",
        keyEntry(keyCodeFromFltk('a')),
        keyEntry(keyCodeFromFltk(FL_Shift_L)),
        keyEntry(keyCodeFromFltk('b')),
        escape,
    };
    EXPECT_EQ(window.withoutMoves(), expected);
}

// A key that Windows has no virtual-key code for reaches the window too, with a code of its own
// that no arrow has. The default Xvfb keyboard map has no é; the connection adds it.
TEST(FltkDesktop, DeliversAKeyWithoutAWindowsCode) {
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 50, 40});
    ScriptedWindow* self = nullptr;
    ScriptedWindow window({
        [&] {
            x.movePointer(110, 115);
            x.tapKey(XK_eacute);
            x.tapKey(XK_Down);
            return true;
        },
        [&] { return self->logged("key 40"); },
    });
    self = &window;

    EXPECT_EQ(play(desktop, window), 0);
    ASSERT_EQ(window.keys.size(), 2u) << "é gave no key down before Down's";
    const int eacute = window.keys[0];
    EXPECT_NE(eacute, 0);
    EXPECT_FALSE(eacute >= 37 && eacute <= 40) << "é came as the arrow " << eacute;
}

// A button held on the strip loses its release when a grab of ours (a pop-up menu) takes the
// pointer or a dialog opens: the window hears it once, at once, and the release that comes later
// is dropped. The next press and release are delivered as ever.
TEST(FltkDesktop, LosesTheCaptureOnceWhenAGrabOrADialogTakesThePointer) {
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 50, 40});
    ScriptedWindow* self = nullptr;
    int ticksUnderBox = 0;
    long lostBeforeTheBoxCloses = 0;
    ScriptedWindow window({
        [&] {
            x.movePointer(110, 115);
            x.pressButton(Button::left);
            return true;
        },
        [&] { return self->logged("down 10 15 0"); },
        [&] {
            XGrabPointer(fl_display, RootWindow(fl_display, fl_screen), False, ButtonReleaseMask,
                         GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
            return true;
        },
        [&] { return self->logged("capture lost"); },
        [&] {
            XUngrabPointer(fl_display, CurrentTime);
            XFlush(fl_display);
            x.releaseButton(Button::left); // now over the strip again, with no grab
            x.pressButton(Button::left);
            return true;
        },
        [&] { return std::count(self->log.begin(), self->log.end(), "down 10 15 0") == 2; },
        [&] {
            desktop.showError("File not found.");
            return true;
        },
        [&] {
            x.click(110, 115, Button::left);
            return true;
        },
        [&] { return self->logged("up 10 15 0"); },
    });
    self = &window;
    window.whileStepRuns = [&] {
        if (++ticksUnderBox == 2)
            x.releaseButton(Button::left);
        if (ticksUnderBox == 4) {
            lostBeforeTheBoxCloses = std::count(self->log.begin(), self->log.end(), "capture lost");
            Fl::modal()->hide();
        }
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    const std::vector<std::string> expected{
        "activate",     "down 10 15 0", "capture lost", "down 10 15 0",
        "capture lost", "down 10 15 0", "up 10 15 0",
    };
    EXPECT_EQ(window.withoutMoves(), expected);
    EXPECT_EQ(lostBeforeTheBoxCloses, 2);
}

TEST(FltkDesktop, ErrorBoxIsModalAndTheTickGoesOn) {
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    using Clock = std::chrono::steady_clock;
    int ticksUnderBox = 0;
    Clock::time_point secondTick;
    Clock::duration tenTicks{};
    ScriptedWindow window({
        // The box opens where the pointer is; keep it clear of the main window.
        [&] {
            x.movePointer(900, 700);
            return true;
        },
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
            // fl_alert's layout for a line of text: the icon's height sets the box's.
            const auto place = [&](const char* label) {
                const Fl_Widget* widget = findVisibleLabel(box, label);
                return widget == nullptr
                           ? dravix::ScreenRect{}
                           : dravix::ScreenRect{widget->x(), widget->y(), widget->w(), widget->h()};
            };
            EXPECT_EQ((dravix::ScreenRect{0, 0, box->w(), box->h()}),
                      (dravix::ScreenRect{0, 0, 410, 103}));
            EXPECT_EQ(place("!"), (dravix::ScreenRect{10, 10, 50, 50}));
            EXPECT_EQ(place("File not found."), (dravix::ScreenRect{60, 25, 340, 30}));
            EXPECT_EQ(place("OK"), (dravix::ScreenRect{310, 70, 90, 23}));
            // The main window takes no input while the box is up.
            x.click(110, 110, Button::left);
            x.tapKey(XK_Down);
        }
        if (ticksUnderBox == 2)
            secondTick = Clock::now();
        if (ticksUnderBox == 12) {
            tenTicks = Clock::now() - secondTick;
            box->hide();
        }
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(ticksUnderBox, 12);
    EXPECT_GT(tenTicks, std::chrono::milliseconds(800));
    EXPECT_LT(tenTicks, std::chrono::milliseconds(2500));
    EXPECT_EQ(window.withoutMoves(), std::vector<std::string>{"activate"});
}

// A message is text: an @ in a path is drawn as itself, not taken for the start of one of FLTK's
// symbols, and the box is as wide as the text.
TEST(FltkDesktop, ErrorBoxShowsAnAtSignAsText) {
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    const std::string text = "/home/ann/Pictures/photo@2x.png cannot be started.";
    struct Seen {
        int drawnWidth = -1;
        int boxWidth = -1;
    } seen;
    Fl::add_timeout(
        0.2,
        [](void* data) {
            Fl_Window* box = Fl::modal();
            if (box == nullptr)
                return;
            auto& seen = *static_cast<Seen*>(data);
            const auto* message = findWidget<Fl_Widget>(box, [](Fl_Widget& widget) {
                return widget.label() != nullptr && std::strstr(widget.label(), "photo") != nullptr;
            });
            if (message != nullptr) {
                fl_font(message->labelfont(), message->labelsize());
                int height = 0;
                seen.drawnWidth = 0;
                fl_measure(message->label(), seen.drawnWidth, height); // as labels are drawn
            }
            seen.boxWidth = box->w();
            box->hide();
        },
        &seen);
    desktop.showError(text);
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int textWidth = 0, textHeight = 0;
    fl_measure(text.c_str(), textWidth, textHeight, 0);
    EXPECT_EQ(seen.drawnWidth, textWidth);
    EXPECT_EQ(seen.boxWidth, 60 + textWidth + 10 + 10);
}

// Told that nothing moves, the backend arms no timer: the step after the sleep runs only once
// the program asks for the tick again, half a second later, off the grid. The ticks after it fall
// on the grid that started with the backend, late by at most what the load makes them; asked
// twice, it still ticks once every 100 ms.
TEST(FltkDesktop, TheTickSleepsUntilTheProgramAsksAgain) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    struct Sleep {
        FltkDesktop* desktop;
        bool over = false;
    } sleep{&desktop};
    std::vector<Clock::time_point> ticks;
    std::vector<ScriptedWindow::Step> steps = {
        [&] {
            desktop.setTicking(false);
            Fl::add_timeout(
                0.55,
                [](void* data) {
                    auto* sleep = static_cast<Sleep*>(data);
                    sleep->over = true;
                    sleep->desktop->setTicking(true);
                    sleep->desktop->setTicking(true);
                },
                &sleep);
            return true;
        },
        [&] {
            EXPECT_TRUE(sleep.over) << "a tick came while the program slept";
            ticks.push_back(Clock::now());
            return true;
        },
    };
    steps.insert(steps.end(), 10, [&] {
        ticks.push_back(Clock::now());
        return true;
    });
    ScriptedWindow window(std::move(steps));
    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    ASSERT_EQ(ticks.size(), 11u);
    EXPECT_GT(ticks.back() - ticks.front(), std::chrono::milliseconds(900)) << "two timers";
    // How far the closest tick lies from the grid, either side: FLTK may run a timeout a few
    // milliseconds early.
    long long closest = 50;
    for (const Clock::time_point tick : ticks) {
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(tick - started);
        const long long phase = since.count() % 100;
        closest = std::min(closest, std::min(phase, 100 - phase));
    }
    EXPECT_LT(closest, 25) << "the ticks after the wake left the grid";
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
    // field and presses Return in it or the Cancel button. A name that does not exist yet is
    // taken too.
    struct Round {
        std::string initialName;
        std::string shownName;
        bool accept;
        std::optional<std::string> result{"not run"};
    };
    const std::string missing = (folder / "not yet.txt").string();
    std::vector<Round> rounds{
        {file, file, true},
        {file, file, false},
        {"", fs::current_path().string() + "/", false},
        {missing, missing, true},
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
        if (rounds[round].accept) {
            session->x().focus(fl_xid(dialog));
            session->x().tapKey(XK_Return);
            return;
        }
        Fl_Widget* cancel = findVisibleLabel(dialog, fl_cancel);
        ASSERT_NE(cancel, nullptr);
        cancel->do_callback();
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(rounds[0].result, file);
    EXPECT_EQ(rounds[1].result, std::nullopt);
    EXPECT_EQ(rounds[2].result, std::nullopt);
    EXPECT_EQ(rounds[3].result, missing);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// KDE's own dialog under KDE, GTK's zenity elsewhere, each only where it is installed.
TEST(DesktopChooser, FollowsTheDesktopThatRunsAndWhatIsInstalled) {
    auto installed = [](std::set<std::string> names) {
        return [names](const char* name) {
            return names.contains(name) ? "/usr/bin/" + std::string(name) : std::string();
        };
    };
    auto kind = [](const std::optional<ChooserProgram>& program) {
        return program ? std::optional(program->kind) : std::nullopt;
    };
    const std::set<std::string> both{"kdialog", "zenity"};
    EXPECT_EQ(kind(pickDesktopChooser("KDE", installed(both))), ChooserKind::kdialog);
    EXPECT_EQ(kind(pickDesktopChooser("ubuntu:KDE", installed(both))), ChooserKind::kdialog);
    EXPECT_EQ(kind(pickDesktopChooser("GNOME", installed(both))), ChooserKind::zenity);
    EXPECT_EQ(kind(pickDesktopChooser("KDEX", installed(both))), ChooserKind::zenity);
    EXPECT_EQ(kind(pickDesktopChooser("KDE", installed({"zenity"}))), ChooserKind::zenity);
    EXPECT_EQ(kind(pickDesktopChooser("", installed({"kdialog"}))), std::nullopt);
}

// The dialog fits the work area of the strip's monitor with a margin, and is no larger than a
// file list needs on a large one; both programs are told the size.
TEST(DesktopChooser, AsksForASizeThatFitsTheWorkArea) {
    using dravix::fltk::ChooserRoom;
    struct Case {
        ChooserRoom room;
        int width;
        int height;
    };
    for (const Case& each :
         {Case{{1280, 994}, 760, 540}, Case{{1024, 742}, 760, 540}, Case{{800, 560}, 752, 512},
          Case{{640, 480}, 592, 432}, Case{{10, 10}, 1, 1}}) {
        const ChooserRoom size = dravix::fltk::chooserSize(each.room);
        EXPECT_EQ(size.width, each.width) << each.room.width << " x " << each.room.height;
        EXPECT_EQ(size.height, each.height) << each.room.width << " x " << each.room.height;
    }
    const std::vector<std::string> kdialog = dravix::fltk::chooserCommand(
        {ChooserKind::kdialog, "/usr/bin/kdialog"}, "Dravix", "-name", 42, {640, 480});
    const std::vector<std::string> expected{
        "/usr/bin/kdialog", "--title",           "Dravix", "--attach", "42", "--geometry",
        "592x432",          "--getopenfilename", "./-name"};
    EXPECT_EQ(kdialog, expected);
}

// Where zenity is installed, the dialog is zenity, run beside the event loop: the tick goes on,
// the dialog is given the title, the last name and the strip to stay above, and what it prints
// is the choice; status 1 cancels. Should it fail, FLTK's chooser stands in.
TEST(FltkDesktop, RunsTheDesktopChooserBesideTheTickAndFallsBackToFltksOwn) {
    char pattern[] = "/tmp/dravix-zenity-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path folder = pattern;
    const fs::path arguments = folder / "arguments";
    std::ofstream(folder / "zenity") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << arguments.string()
                                     << "'\n/bin/sleep 0.4\ncase $STAND_IN in\n"
                                        "choose) printf '/chosen/file name\\n' ;;\n"
                                        "cancel) exit 1 ;;\n*) exit 3 ;;\nesac\n";
    fs::permissions(folder / "zenity", fs::perms::owner_all);
    const std::string searchPath = std::getenv("PATH");
    ::setenv("PATH", folder.c_str(), 1);

    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    std::vector<std::optional<std::string>> results;
    int ticksUnderFirst = 0;
    bool fellBack = false;
    Window strip = 0;
    std::vector<ScriptedWindow::Step> steps;
    for (const char* mode : {"choose", "cancel", "fail"}) {
        steps.push_back([&, mode] {
            strip = session->x().windowsTitled("Dravix").at(0);
            ::setenv("STAND_IN", mode, 1);
            results.push_back(desktop.chooseFile("/start/name"));
            return true;
        });
    }
    ScriptedWindow window(steps);
    window.whileStepRuns = [&] {
        if (results.empty())
            ++ticksUnderFirst;
        if (results.size() == 2 && Fl::modal() != nullptr) {
            fellBack = true;
            findVisibleLabel(Fl::modal(), fl_cancel)->do_callback();
        }
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    const std::vector<std::optional<std::string>> expected{"/chosen/file name", std::nullopt,
                                                           std::nullopt};
    EXPECT_EQ(results, expected);
    EXPECT_TRUE(fellBack) << "no FLTK chooser after zenity failed";
    EXPECT_GE(ticksUnderFirst, 3) << "the tick stopped while the dialog was up";
    std::ostringstream given;
    given << std::ifstream(arguments).rdbuf();
    EXPECT_EQ(given.str(), "--file-selection\n--title=Dravix\n--attach=" + std::to_string(strip) +
                               "\n--width=760\n--height=540\n--filename=/start/name\n");
    ::setenv("PATH", searchPath.c_str(), 1);
    ::unsetenv("STAND_IN");
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

// FLTK 1.3.8's pop-up menus crash on BackSpace or Shift+Tab while the pointer is off the menu;
// the dialog's "Show:" list and its Favorites menu are such menus.
TEST(FltkDesktop, MenuKeysInTheFileDialogDoNotCrashIt) {
    XConnection& x = session->x();
    FltkDesktop desktop("Dravix");
    desktop.setGeometry({100, 100, 26, 23});
    std::optional<std::string> result{"not run"};
    ScriptedWindow window({[&] {
        result = desktop.chooseFile("");
        return true;
    }});
    Fl_Window* dialog = nullptr;
    std::vector<Fl_Widget*> menus;
    int tick = 0;
    window.whileStepRuns = [&] {
        const int step = tick % 4;
        const std::size_t menu = static_cast<std::size_t>(tick++ / 4);
        if (tick == 1) {
            dialog = Fl::modal();
            ASSERT_NE(dialog, nullptr);
            menus = {findWidget<Fl_Choice>(dialog), findWidget<Fl_Menu_Button>(dialog)};
            ASSERT_NE(menus[0], nullptr);
            ASSERT_NE(menus[1], nullptr);
        }
        if (menu == menus.size()) {
            findVisibleLabel(dialog, fl_cancel)->do_callback();
        } else if (step == 0) {
            Fl_Widget& opener = *menus[menu];
            x.click(dialog->x() + opener.x() + opener.w() / 2,
                    dialog->y() + opener.y() + opener.h() / 2, Button::left);
        } else if (step == 1) {
            EXPECT_TRUE(Fl::grab() != nullptr && Fl::grab()->menu_window()) << "menu " << menu;
            x.movePointer(5, 5);
        } else if (step == 2) {
            // A tick after the move: FLTK handles a move only after the keys that came with it.
            x.tapKey(XK_BackSpace);
            x.tapKeyWith(XK_Shift_L, XK_Tab);
        } else {
            x.tapKey(XK_Escape);
        }
    };

    EXPECT_EQ(play(desktop, window), 0);
    EXPECT_TRUE(window.finished());
    EXPECT_EQ(result, std::nullopt);
}

// The toolkit's options, settled without reading or writing its preference files, are FLTK's
// own defaults.
TEST(ToolkitSettings, AreFltksOwnDefaults) {
    dravix::fltk::keepToolkitSettingsInMemory();
    const struct {
        Fl::Fl_Option option;
        bool on;
    } options[] = {
        {Fl::OPTION_ARROW_FOCUS, false},  {Fl::OPTION_VISIBLE_FOCUS, true},
        {Fl::OPTION_DND_TEXT, true},      {Fl::OPTION_SHOW_TOOLTIPS, true},
        {Fl::OPTION_FNFC_USES_GTK, true},
    };
    for (const auto& row : options)
        EXPECT_EQ(Fl::option(row.option), row.on) << "option " << row.option;
}

} // namespace
