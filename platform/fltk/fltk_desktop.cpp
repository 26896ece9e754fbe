#include "platform/fltk/fltk_desktop.h"

#include "platform/fltk/desktop_file_chooser.h"
#include "platform/fltk/fltk_accessibility.h"
#include "platform/fltk/fltk_display.h"
#include "platform/fltk/fltk_error_box.h"
#include "platform/fltk/fltk_input.h"
#include "platform/fltk/fltk_internals.h"
#include "platform/fltk/fltk_settings.h"
#include "platform/fltk/fltk_tip.h"
#include "platform/fltk/x11_top_level.h"
#include "platform/fltk/x11_work_area.h"
#include "platform/held_buttons.h"
#include "platform/monitors.h"
#include "platform/posix/posix_services.h"
#include "platform/scale.h"
#include "platform/tick_grid.h"
#include "platform/x11/x11_folder_claim.h"
#include "platform/x11/x11_scale.h"

#include "assets/picture_store.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <X11/Xlib.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <unistd.h>
#include <utility>

namespace dravix::fltk {

namespace {

constexpr double tickSeconds = tickMilliseconds / 1000.0;
constexpr const char* dialogTitle = "Open";
constexpr const char* allFiles = "*";

// The taskbar and the window manager know the program by these and show the closed toggle.
constexpr const char* programName = "dravix";
constexpr const char* programClass = "Dravix";
constexpr const char* iconPicture = "k1";

// The closed toggle's size in the program's pixels: the strip's bottom-left corner.
constexpr int closedToggleWidth = 26;
constexpr int closedToggleHeight = 23;

// _NET_ACTIVE_WINDOW's word for a request that comes from the application itself.
constexpr long sourceApplication = 1;

// Sees every FLTK event before it is handled. FLTK 1.3.8's pop-up menus (the file chooser's
// "Show:" list and its Favorites) crash on BackSpace and Shift+Tab while the pointer is off the
// menu: they step back through a menu they number -1. While a menu holds the grab those two keys
// go nowhere; elsewhere, in the file name field say, they keep their meaning.
int dispatchAroundMenuCrash(int event, Fl_Window* window) {
    if (event == FL_KEYBOARD && Fl::grab() != nullptr && Fl::grab()->menu_window()) {
        const int key = Fl::event_key();
        if (key == FL_BackSpace || (key == FL_Tab && Fl::event_shift()))
            return 1;
    }
    return Fl::handle_(event, window);
}

} // namespace

// The one top-level window: shows the last frame the core presented, each of its pixels a square
// of scale x scale, and passes the mouse and the keyboard on in the frame's pixels. It has no
// child widgets; the core does its own hit-testing. Its FLTK size is the size on the screen.
//
// Every draw covers the whole window with one image and, where the frame does not reach, black,
// so a back buffer would add nothing but a copy per frame, a server pixmap, and, at the first
// draw, FLTK's query of the double-buffer extension (about a millisecond of the start-up). The
// window's X background is black (see mapTopLevel): the server clears only what a resize
// uncovers, and to black, while the rest of the previous frame stays up until the next one
// replaces it, as with a back buffer.
class MainWindow : public Fl_Window {
public:
    MainWindow(const WindowGeometry& geometry, const char* title, TopLevelLook look, int scale)
        : Fl_Window(geometry.left, geometry.top, geometry.width, geometry.height, title),
          look_(std::move(look)), sizes_(geometry.width, geometry.height), scale_(scale) {
        end();
        border(0);
        box(FL_NO_BOX);
        color(FL_BLACK);
        // Resizable as far as FLTK knows, so that its resize leaves the size hints alone (see
        // SizeRange); the Motif hints keep the user from resizing the strip.
        resizable(this);
        callback(onClose);
    }

    ~MainWindow() override {
        Fl::remove_timeout(onCaptureLost, this);
        Fl::remove_timeout(onFirstFrameDrawn, this);
    }

    void setEvents(WindowEvents* events) { events_ = events; }
    // Runs once the first frame has gone to the server.
    void afterFirstFrame(std::function<void()> then) { afterFirstFrame_ = std::move(then); }

    // While the desktop's own file chooser, another process, is up, the strip takes no input, as
    // under a modal window of its own; the tick goes on.
    void takeInput(bool take) { inputTaken_ = take; }

    // The buttons held on the strip lose their release: a window of ours now takes the input, or
    // an X grab took the pointer. The core hears it once, before any later input, and a release
    // of those buttons that still comes here is dropped. Safe inside FLTK's X event handling: the
    // core is called from the event loop.
    void loseCapture() {
        if (!heldButtons_.loseCapture())
            return;
        if (Fl::pushed() == this)
            Fl::pushed(nullptr);
        captureLostPending_ = true;
        Fl::add_timeout(0, onCaptureLost, this);
    }

    // Never over a dialog: the tip stays above every other window.
    void showTip(const std::string& text, Place at) {
        if (dialogUp())
            return;
        if (!tip_) {
            Fl_Group::current(nullptr);
            tip_ = std::make_unique<TipWindow>(scale_);
        }
        tip_->showText(text, at);
    }

    void hideTip() {
        if (tip_)
            tip_->hide();
    }

    PixelSize tipSize(const std::string& text) const { return TipWindow::sizeFor(text, scale_); }

    // A button is held on the strip: the user may be dragging it.
    bool capturing() const { return heldButtons_.capturing(); }

    // Fl::run goes on while any window is shown, so the tip goes with the strip.
    void hide() override {
        hideTip();
        Fl_Window::hide();
    }

    void showFrame(const Frame& frame) {
        assert(frame.rgb.size() >= static_cast<std::size_t>(frame.width) * frame.height * 3 &&
               "frame smaller than its size says");
        frame_ = frame;
        redraw();
    }

    int handle(int event) override {
        if (events_ == nullptr)
            return Fl_Window::handle(event);
        switch (event) {
        case FL_PUSH:
        case FL_RELEASE:
            return handleButton(event);
        case FL_MOVE:
        case FL_DRAG:
            // While any button is held the server sends every move to this window, inside it or
            // not, and FLTK passes them on as drags.
            if (!inputTaken_)
                return 1;
            reportCaptureLost();
            events_->mouseMove(pointerX(), pointerY());
            return 1;
        case FL_DND_ENTER:
        case FL_DND_DRAG:
        case FL_DND_LEAVE:
        case FL_DND_RELEASE:
        case FL_PASTE:
            return handleDrop(event);
        case FL_LEAVE:
            if (inputTaken_)
                events_->pointerLeft();
            return 1;
        case FL_ENTER:
        case FL_FOCUS:
        case FL_UNFOCUS:
            // Taking these keeps moves and keys coming here rather than being offered around.
            return 1;
        case FL_KEYBOARD:
        case FL_SHORTCUT: {
            // Keys reach the window as FL_KEYBOARD when it has the focus and as FL_SHORTCUT when
            // nothing has; consuming them also stops FLTK from closing the window on Escape.
            // Every key counts, modifiers on their own too, as Windows reports them all.
            if (!inputTaken_)
                return 1;
            reportCaptureLost();
            events_->keyDown(keyCodeFromFltk(Fl::event_key(), Fl::event_shift() != 0));
            return 1;
        }
        default:
            return Fl_Window::handle(event);
        }
    }

    // One move-and-resize request, after the size hints have widened to take the new size; the
    // serial of the request, when one was sent. The size is the size on the screen.
    std::optional<unsigned long> placeAndSize(const WindowGeometry& geometry) {
        if (shown() && sizes_.widenTo(geometry.width, geometry.height))
            sizes_.write(*this);
        const unsigned long nextRequest = shown() ? XNextRequest(fl_display) : 0;
        resize(geometry.left, geometry.top, geometry.width, geometry.height);
        // FLTK sends nothing when nothing changes.
        if (shown() && XNextRequest(fl_display) != nextRequest)
            return XNextRequest(fl_display) - 1;
        return std::nullopt;
    }

    // The first show makes and maps the X window through mapTopLevel instead of FLTK's own
    // path; a later one, as FLTK's, raises the window.
    void show() override {
        if (shown()) {
            Fl_Window::show();
            return;
        }
        Fl_Group::current(nullptr);
        sizes_ = SizeRange(w(), h());
        mapTopLevel(*this, look_, sizes_);
        set_visible();
        DRAVIX_FLTK_INTERNALS_CHECKED("keeps the event in Fl::e_number, which Fl::event() reads, "
                                      "and that Fl_Window::show() sets it to FL_SHOW around "
                                      "handle(FL_SHOW) and back");
        const int previousEvent = Fl::e_number;
        handle(Fl::e_number = FL_SHOW);
        Fl::e_number = previousEvent;
        redraw();
    }

protected:
    void draw() override {
        if (!largeIconAdded_) {
            largeIconAdded_ = true;
            Fl::add_timeout(0, onFirstFrameDrawn, this);
        }
        const int frameWidth = std::min(frame_.width * scale_, w());
        const int frameHeight = std::min(frame_.height * scale_, h());
        if (frameWidth > 0 && frameHeight > 0 && scale_ == 1) {
            // The row stride keeps the frame's own width when the window is narrower.
            fl_draw_image(frame_.rgb.data(), 0, 0, frameWidth, frameHeight, 3, frame_.width * 3);
        } else if (frameWidth > 0 && frameHeight > 0) {
            // FLTK asks for the enlarged frame a line at a time, so no enlarged copy is kept.
            fl_draw_image(enlargedLine, this, 0, 0, frameWidth, frameHeight, 3);
        }
        // Between a resize and the next frame, whatever the frame does not cover is black.
        if (frameWidth < w())
            fl_rectf(frameWidth, 0, w() - frameWidth, h(), 0, 0, 0);
        if (frameHeight < h())
            fl_rectf(0, frameHeight, frameWidth, h() - frameHeight, 0, 0, 0);
    }

private:
    // A press or release of a mouse button (FL_PUSH, FL_RELEASE).
    int handleButton(int event) {
        const std::optional<MouseButton> button = mouseButtonFromFltk(Fl::event_button());
        if (!button)
            return 0;
        if (!inputTaken_)
            return 1;
        if (event == FL_PUSH) {
            // A second press of a held button: its release went to another window.
            if (heldButtons_.held(*button))
                loseCapture();
            reportCaptureLost();
            heldButtons_.press(*button);
            events_->mouseDown(pointerX(), pointerY(), *button);
        } else if (heldButtons_.release(*button) == Release::held) {
            reportCaptureLost();
            events_->mouseUp(pointerX(), pointerY(), *button);
        }
        return 1;
    }

    // A drag and drop over the window, from the first position report to the dropped data.
    int handleDrop(int event) {
        switch (event) {
        case FL_DND_ENTER:
        case FL_DND_DRAG:
            // A drop anywhere is taken: the core decides what a point means.
            return dialogUp() ? 0 : 1;
        case FL_DND_RELEASE:
            // The XdndDrop carries no place: the drop is where the last position report was.
            if (dialogUp())
                return 0;
            dropPoint_ = {Fl::event_x_root(), Fl::event_y_root()};
            return 1;
        case FL_PASTE: {
            // The dropped data, asked for by FLTK after the drop was taken.
            if (!dropPoint_)
                return 0;
            const Place at = *std::exchange(dropPoint_, std::nullopt);
            const std::optional<std::string> path = firstDroppedFile(
                std::string_view(Fl::event_text(), static_cast<std::size_t>(Fl::event_length())));
            if (!path || dialogUp())
                return 1;
            reportCaptureLost();
            events_->fileDropped(programPixel(at.left - x(), scale_),
                                 programPixel(at.top - y(), scale_), *path);
            return 1;
        }
        default: // FL_DND_LEAVE
            return 1;
        }
    }

    // Runs once the first frame has gone to the server.
    static void onFirstFrameDrawn(void* window) {
        auto& self = *static_cast<MainWindow*>(window);
        if (self.afterFirstFrame_)
            self.afterFirstFrame_();
        addLargeIcon(self, self.look_);
    }

    // Pixels x to x + width - 1 of line y of the window, from the frame enlarged by nearest
    // neighbour: each frame pixel fills scale x scale window pixels.
    static void enlargedLine(void* window, int x, int y, int width, std::uint8_t* line) {
        const auto& self = *static_cast<const MainWindow*>(window);
        const std::uint8_t* row = self.frame_.rgb.data() +
                                  static_cast<std::size_t>(y / self.scale_) * self.frame_.width * 3;
        for (int column = x; column < x + width; ++column, line += 3)
            std::copy_n(row + static_cast<std::size_t>(column / self.scale_) * 3, 3, line);
    }

    // The pointer against the window's place as geometry() reports it, from the pointer's place on
    // the screen, in the frame's pixels. The event's own window coordinates are against where the
    // window was when the server made the event, which is out of date once the program has moved
    // the window since.
    int pointerX() const { return programPixel(Fl::event_x_root() - x(), scale_); }
    int pointerY() const { return programPixel(Fl::event_y_root() - y(), scale_); }

    // A dialog of ours, or the desktop's chooser, is up. FLTK keeps the mouse from a window
    // behind a modal one, but not a drop.
    bool dialogUp() const {
        return !inputTaken_ || (Fl::modal() != nullptr && Fl::modal() != this);
    }

    void reportCaptureLost() {
        if (std::exchange(captureLostPending_, false))
            events_->captureLost();
    }

    static void onCaptureLost(void* window) {
        static_cast<MainWindow*>(window)->reportCaptureLost();
    }

    // FLTK calls a window's callback for the window manager's close request and, unless a
    // handler took the key first, for Escape. Only the first ends the program: hiding the one
    // window makes Fl::run return.
    static void onClose(Fl_Widget* widget, void*) {
        if (Fl::event() != FL_CLOSE)
            return;
        widget->hide();
    }

    WindowEvents* events_ = nullptr;
    std::function<void()> afterFirstFrame_;
    Frame frame_;
    TopLevelLook look_;
    SizeRange sizes_;
    bool largeIconAdded_ = false;
    // Each frame pixel is shown as scale_ x scale_ screen pixels.
    const int scale_;
    std::unique_ptr<TipWindow> tip_; // made when first shown
    bool inputTaken_ = true;
    // Pressed here and not yet released. The implicit grab of a held button sends the moves and
    // the release of every button here, so each captures.
    HeldButtons heldButtons_{MouseButton::left, MouseButton::right, MouseButton::middle};
    bool captureLostPending_ = false;
    std::optional<Place> dropPoint_; // screen point of a drop whose data is on the way
};

FltkDesktop::FltkDesktop(std::string title, const std::optional<std::string>& folderToClaim)
    : title_(std::move(title)) {
    keepToolkitSettingsInMemory();
    // The claim's selection is asked for with the start's other atoms.
    std::vector<std::string> claimAtom;
    if (folderToClaim)
        claimAtom.push_back(
            x11::FolderClaim::selectionNameFor(posix::realFolderName(*folderToClaim)));
    openDisplayWithoutInputMethod(claimAtom);
    // The error box's one button reads OK; FLTK labels it with fl_close.
    fl_close = "OK";
    // The error box and the file dialog belong to the program too, for a taskbar that groups
    // windows by their class.
    Fl_Window::default_xclass(programName);
    // The resources as they were when the display was opened: the desktop's scale at the start.
    scale_ = x11::scaleFromResources(XResourceManagerString(fl_display));
    window_ = std::make_unique<MainWindow>(
        WindowGeometry{0, 0, 1, 1}, title_.c_str(),
        TopLevelLook{programName, programClass, storePicture(iconPicture)}, scale_);
    window_->afterFirstFrame([this] {
        firstFrameOut_ = true;
        checkPlacementOnce();
        startScreenReaderBridge();
    });
    Fl::add_system_handler(onXEvent, this);
    Fl::event_dispatch(dispatchAroundMenuCrash);
}

FltkDesktop::~FltkDesktop() {
    screenReader_.reset();
    Fl::event_dispatch(nullptr);
    Fl::remove_system_handler(onXEvent);
    Fl::remove_timeout(onTick, this);
    Fl::remove_timeout(onMapped, this);
}

ClaimOutcome FltkDesktop::claimFolder(const std::string& folder) {
    // Every spelling of one folder (through a link, say) is one claim, before the folder exists
    // as after.
    claim_ = std::make_unique<x11::FolderClaim>(fl_display, posix::realFolderName(folder));
    switch (claim_->outcome()) {
    case x11::FolderClaim::Outcome::held:
        return ClaimOutcome::held;
    case x11::FolderClaim::Outcome::gaveWay:
        return ClaimOutcome::gaveWay;
    case x11::FolderClaim::Outcome::foreign:
        break;
    }
    std::fprintf(stderr,
                 "dravix: the X selection %s is owned by window 0x%lx, which is no Dravix strip; "
                 "not starting beside it\n",
                 claim_->selectionName().c_str(), static_cast<unsigned long>(claim_->holder()));
    return ClaimOutcome::foreign;
}

int FltkDesktop::run(WindowEvents& events) {
    events_ = &events;
    window_->setEvents(&events);
    // FLTK handles no event before Fl::run, so the start-up load runs before any input. The
    // window is mapped only after it, at the place and size it set and with the frame it
    // presented, unless an error box needed it shown earlier.
    events.activate();
    mapWindowIfHidden();
    Fl::run();
    Fl::remove_timeout(onTick, this);
    return 0;
}

// Screen readers are asked for only once the strip is up: the question and its answer never
// hold up the first frame.
void FltkDesktop::startScreenReaderBridge() {
    AccessibleSource* source = events_ != nullptr ? events_->accessibleSource() : nullptr;
    if (source == nullptr)
        return;
    screenReader_ = std::make_unique<ScreenReaderBridge>(title_, [this] {
        return ScreenRect{window_->x(), window_->y(), window_->w(), window_->h()};
    });
    screenReader_->start(*source);
}

void FltkDesktop::accessibleChanged(const AccessibleEvent& event) {
    if (screenReader_)
        screenReader_->changed(event);
}

void FltkDesktop::setTicking(bool ticking) {
    if (ticking == ticking_)
        return;
    ticking_ = ticking;
    if (!ticking) {
        Fl::remove_timeout(onTick, this);
        return;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started_);
    Fl::add_timeout(static_cast<double>(millisecondsToNextTick(elapsed.count())) / 1000, onTick,
                    this);
}

// FLTK's repeat keeps the grid: it counts from when the tick was due, not from when it ran.
void FltkDesktop::onTick(void* desktop) {
    // Rescheduled first: a tick that opens a modal box must not hold up the ticks behind it. A
    // tick that ends the movement takes the timeout away again.
    Fl::repeat_timeout(tickSeconds, onTick, desktop);
    auto& self = *static_cast<FltkDesktop*>(desktop);
    if (self.events_ != nullptr)
        self.events_->tick();
}

// A launch's answer, waited for by FLTK's loop; it belongs to the loop until it is delivered.
struct FltkDesktop::WatchedLaunch {
    FltkDesktop* desktop;
    int descriptor;
    std::function<std::optional<std::string>()> answer;
};

posix::LaunchWatch FltkDesktop::launchWatch() {
    return [this](int descriptor, std::function<std::optional<std::string>()> answer) {
        Fl::add_fd(descriptor, FL_READ, onLaunchAnswer,
                   new WatchedLaunch{this, descriptor, std::move(answer)});
    };
}

void FltkDesktop::onLaunchAnswer(int descriptor, void* data) {
    const std::unique_ptr<WatchedLaunch> launch(static_cast<WatchedLaunch*>(data));
    Fl::remove_fd(descriptor, FL_READ);
    const std::optional<std::string> failure = launch->answer();
    WindowEvents* events = launch->desktop->events_;
    if (events == nullptr)
        return;
    if (failure)
        events->launchFailed(*failure);
    else
        events->launchStarted();
}

// Sees every X event before FLTK does.
int FltkDesktop::onXEvent(void* event, void* desktop) {
    auto& self = *static_cast<FltkDesktop*>(desktop);
    const XEvent& xevent = *static_cast<const XEvent*>(event);
    if (self.monitors_.noteEvent(xevent))
        return 1;
    if (self.claim_ && xevent.xany.window == self.claim_->window()) {
        const std::optional<Time> time = self.claim_->frontRequest(xevent);
        // With a box or dialog up the box is what comes forward, and the strip waits for it.
        if (time && self.comeToFront(*time) && Fl::modal() == nullptr && self.events_ != nullptr)
            self.events_->anotherStart();
        return 1;
    }
    // A pointer grab that another window of ours (a pop-up menu) takes while a button is held
    // here leaves the strip with mode NotifyGrab; the release will go to the grab. A plain move
    // out of the window while the button is held leaves with NotifyNormal and changes nothing.
    if (xevent.type == LeaveNotify && xevent.xcrossing.mode == NotifyGrab &&
        self.window_->shown() && xevent.xany.window == fl_xid(self.window_.get()))
        self.window_->loseCapture();
    // FLTK takes each report that the window moved or was reparented as a cue to ask the server
    // where the window is now. Under a window manager the server may not have the program's last
    // request yet: the manager carries it out a moment later. A report made before the server
    // handled that request would then set the window back to where it was, so it is dropped;
    // the manager's answer to the request comes after it and counts.
    // The window manager's first placement is looked at once the window is mapped, after its
    // first frame (see onMapped). FLTK looks at where the window is at each map (two round
    // trips), and shows it to its widgets then; the first map is handed to FLTK only after the
    // first frame, so that the frame does not wait for the look.
    const bool ours = self.window_->shown() && xevent.xany.window == fl_xid(self.window_.get());
    if (xevent.type == MapNotify && !self.mapSeen_ && ours) {
        self.mapSeen_ = true;
        if (!self.firstFrameOut_) {
            self.firstMap_ = std::make_unique<XEvent>(xevent);
            return 1;
        }
        self.checkPlacementOnce();
    }
    // FLTK reads _NET_WM_STATE again at each change (a round trip) to follow full-screen mode,
    // which the strip never takes.
    if (xevent.type == PropertyNotify && ours &&
        xevent.xproperty.atom == XInternAtom(fl_display, "_NET_WM_STATE", False))
        return 1;
    const bool placementReport = xevent.type == ConfigureNotify || xevent.type == ReparentNotify;
    if (placementReport && self.window_->shown() &&
        xevent.xany.window == fl_xid(self.window_.get()) &&
        xevent.xany.serial < self.lastPlacementRequest_)
        return 1;
    return 0;
}

// A later start from this folder asks for the strip. The time of that start lets the window
// manager see the request as the user's own rather than a window pushing itself forward.
bool FltkDesktop::comeToFront(unsigned long serverTime) {
    if (!window_->shown())
        return false; // still starting: it is about to appear anyway
    Fl_Window* front = Fl::modal() != nullptr && Fl::modal()->shown() ? Fl::modal() : window_.get();
    Display* const display = fl_display;
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = fl_xid(front);
    request.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = sourceApplication;
    request.xclient.data.l[1] = static_cast<long>(serverTime);
    XSendEvent(display, RootWindow(display, fl_screen), False,
               SubstructureNotifyMask | SubstructureRedirectMask, &request);
    // With no window manager nobody acts on that; raising does it, and a manager may take it too.
    XRaiseWindow(display, fl_xid(window_.get()));
    if (front != window_.get())
        XRaiseWindow(display, fl_xid(front));
    // The keys are for the strip now; a window manager that keeps the focus elsewhere overrides
    // this, one that follows _NET_ACTIVE_WINDOW has already given it.
    XSetInputFocus(display, fl_xid(front), RevertToParent, serverTime);
    XFlush(display);
    return true;
}

// Some window managers place a new window their own way whatever it asked for: i3 puts its frame
// rather than the window at the place, where the window lands lower and to the right by the
// border and title it would have had, and keeps a floating window at least 75 x 50. Asked again,
// they do as asked. Only the first placement is put right, once: a later move by the window
// manager or by the user through it stays.
// Once the window is mapped and its first frame is out, so that the frame does not wait for the
// round trips of the look.
void FltkDesktop::checkPlacementOnce() {
    if (!mapSeen_ || !firstFrameOut_ || mapChecked_)
        return;
    mapChecked_ = true;
    Fl::add_timeout(0, onMapped, this);
}

void FltkDesktop::onMapped(void* desktop) {
    auto& self = *static_cast<FltkDesktop*>(desktop);
    if (!self.window_->shown())
        return;
    if (const std::unique_ptr<XEvent> map = std::move(self.firstMap_))
        fl_handle(*map);
    Display* const display = fl_display;
    const Window xid = fl_xid(self.window_.get());
    Window root = None;
    Window child = None;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (XGetGeometry(display, xid, &root, &x, &y, &width, &height, &border, &depth) == 0 ||
        XTranslateCoordinates(display, xid, root, 0, 0, &x, &y, &child) == 0)
        return;
    const WindowGeometry actual{x, y, static_cast<int>(width), static_cast<int>(height)};
    const WindowGeometry& asked = self.asked_;
    if (actual == asked)
        return;
    // Where the window is until the window manager carries out the request below; FLTK's own
    // record, with no request to the server.
    self.window_->Fl_Group::resize(actual.left, actual.top, actual.width, actual.height);
    self.lastPlacementRequest_ = XNextRequest(display);
    XMoveResizeWindow(display, xid, asked.left, asked.top, static_cast<unsigned>(asked.width),
                      static_cast<unsigned>(asked.height));
    XFlush(display);
}

void FltkDesktop::setGeometry(const WindowGeometry& geometry) {
    // FLTK sends a change of both place and size as one XMoveResizeWindow, so the window never
    // shows at the new place with the old size or the other way round.
    const WindowGeometry onScreen{geometry.left, geometry.top, geometry.width * scale_,
                                  geometry.height * scale_};
    asked_ = onScreen;
    if (const std::optional<unsigned long> request = window_->placeAndSize(onScreen))
        lastPlacementRequest_ = *request;
}

WindowGeometry FltkDesktop::geometry() const {
    return {window_->x(), window_->y(), window_->w() / scale_, window_->h() / scale_};
}

void FltkDesktop::present(const Frame& frame) {
    window_->showFrame(frame);
}

ScreenRect FltkDesktop::workAreaNear(const ScreenRect& area) const {
    // Kept from the last reading until the desktop says it changed; during a drag not even its
    // age sends the reader to the server.
    const std::vector<Monitor> monitors = monitors_.read(fl_display, !window_->capturing());
    return monitorFor(monitors, area).workArea;
}

// The work area of the monitor that holds the toggle (the strip's bottom-left corner).
ScreenRect FltkDesktop::workAreaOfStrip() const {
    const int toggleWidth = std::min(window_->w(), closedToggleWidth * scale_);
    const int toggleHeight = std::min(window_->h(), closedToggleHeight * scale_);
    return workAreaNear(
        {window_->x(), window_->y() + window_->h() - toggleHeight, toggleWidth, toggleHeight});
}

// Also for a dialog, which needs the strip on the screen to belong to: during activate it is not
// shown yet.
void FltkDesktop::mapWindowIfHidden() {
    if (!window_->shown())
        window_->show();
}

// A dialog takes the input from the strip: a button held there will not be released to it. The
// tip goes first, as FLTK makes a new dialog transient for the window shown last.
void FltkDesktop::prepareForDialog() {
    window_->hideTip();
    mapWindowIfHidden();
    window_->loseCapture();
}

void FltkDesktop::showError(const std::string& text) {
    // The box runs a modal loop of its own in which timeouts go on firing. FLTK makes a new
    // window transient for the one shown before it, here the strip.
    prepareForDialog();
    // Beside the strip it speaks for: centred on the toggle, within the work area of the
    // toggle's monitor.
    const int toggleWidth = std::min(window_->w(), closedToggleWidth * scale_);
    const int toggleHeight = std::min(window_->h(), closedToggleHeight * scale_);
    showErrorBox(title_, text,
                 {window_->x() + toggleWidth / 2, window_->y() + window_->h() - toggleHeight / 2},
                 workAreaOfStrip());
}

std::optional<std::string> FltkDesktop::chooseFile(const std::string& initialName) {
    prepareForDialog();
    // The desktop's own dialog runs as a program of its own (FLTK's Fl_Native_File_Chooser would
    // run GTK's loop in ours, which stops our timer while the dialog is open). Should it not
    // work at all, FLTK's chooser stands in.
    const char* currentDesktop = std::getenv("XDG_CURRENT_DESKTOP");
    if (const std::optional<ChooserProgram> program = pickDesktopChooser(
            currentDesktop != nullptr ? currentDesktop : "", posix::findOnSearchPath)) {
        window_->takeInput(false);
        const ScreenRect area = workAreaOfStrip();
        ChooserResult result = runDesktopChooser(chooserCommand(
            *program, title_, initialName, fl_xid(window_.get()), {area.width, area.height}));
        window_->takeInput(true);
        if (result.outcome == ChooserResult::Outcome::chosen)
            return std::move(result.path);
        if (result.outcome == ChooserResult::Outcome::cancelled)
            return std::nullopt;
    }
    if (!chooser_) {
        // The file name field is the program's only text entry. Opening the input method asks
        // for the root window's events anew, as at the start.
        openInputMethod();
        monitors_.forget();
        keepChooserSettingsInMemory();
        // CREATE: a name that does not exist yet is a valid choice too.
        chooser_ = std::make_unique<Fl_File_Chooser>(nullptr, allFiles, Fl_File_Chooser::CREATE,
                                                     dialogTitle);
    }
    if (initialName.empty()) {
        // With no name yet FLTK would open on its list of file systems; the current folder is
        // where a person expects to start.
        chooser_->value("");
        chooser_->directory(nullptr);
    } else {
        chooser_->value(initialName.c_str());
    }
    chooser_->show();
    while (chooser_->shown())
        Fl::wait();
    const char* chosen = chooser_->value();
    if (chosen == nullptr || chooser_->count() == 0)
        return std::nullopt;
    return std::string(chosen);
}

void FltkDesktop::showTip(const std::string& text, Place at) {
    window_->showTip(text, at);
}

void FltkDesktop::hideTip() {
    window_->hideTip();
}

PixelSize FltkDesktop::tipSize(const std::string& text) {
    return window_->tipSize(text);
}

void FltkDesktop::exitProcess(int status) {
    // _exit rather than exit: no further event is handled, and no destructor of the toolkit's
    // gets a chance to write anything on the way out.
    Fl::flush();
    ::_exit(status);
}

} // namespace dravix::fltk
