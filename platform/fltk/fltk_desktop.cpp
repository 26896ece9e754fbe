#include "platform/fltk/fltk_desktop.h"

#include "platform/fltk/fltk_display.h"
#include "platform/fltk/fltk_input.h"
#include "platform/fltk/fltk_settings.h"
#include "platform/posix/posix_services.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cassert>
#include <unistd.h>
#include <utility>

namespace dravix::fltk {

namespace {

constexpr double tickSeconds = 0.1;
constexpr const char* dialogTitle = "Open";
constexpr const char* allFiles = "*";

} // namespace

// The one top-level window: shows the last frame the core presented and passes the mouse and the
// keyboard on. It has no child widgets; the core does its own hit-testing.
//
// Every draw covers the whole window with one image and, where the frame does not reach, black,
// so a back buffer would add nothing but a copy per frame, a server pixmap, and, at the first
// draw, FLTK's query of the double-buffer extension (about a millisecond of the start-up). Without
// a box the window gets no X background either, so the server never clears it to a colour before
// a draw: the previous frame stays up until the next one replaces it, as with a back buffer.
class MainWindow : public Fl_Window {
public:
    MainWindow(const WindowGeometry& geometry, const char* title)
        : Fl_Window(geometry.left, geometry.top, geometry.width, geometry.height, title) {
        end();
        border(0);
        box(FL_NO_BOX);
        color(FL_BLACK);
        // No resizable widget: FLTK then fixes the window manager's size hints to each size the
        // program sets, so no minimum gets in the way of 26 x 23 and the user cannot resize it.
        callback(onClose);
    }

    void setEvents(WindowEvents* events) { events_ = events; }

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
        case FL_RELEASE: {
            const std::optional<MouseButton> button = mouseButtonFromFltk(Fl::event_button());
            if (!button)
                return 0;
            // While a button is held FLTK sends everything to this window, with coordinates
            // relative to it even when the pointer has left it.
            if (event == FL_PUSH)
                events_->mouseDown(Fl::event_x(), Fl::event_y(), *button);
            else
                events_->mouseUp(Fl::event_x(), Fl::event_y(), *button);
            return 1;
        }
        case FL_MOVE:
        case FL_DRAG:
            events_->mouseMove(Fl::event_x(), Fl::event_y());
            return 1;
        case FL_ENTER:
        case FL_LEAVE:
        case FL_FOCUS:
        case FL_UNFOCUS:
            // Taking these keeps moves and keys coming here rather than being offered around.
            return 1;
        case FL_KEYBOARD:
        case FL_SHORTCUT: {
            // Keys reach the window as FL_KEYBOARD when it has the focus and as FL_SHORTCUT when
            // nothing has; consuming them also stops FLTK from closing the window on Escape.
            // Every key counts, modifiers on their own too, as Windows reports them all.
            events_->keyDown(keyCodeFromFltk(Fl::event_key()));
            return 1;
        }
        default:
            return Fl_Window::handle(event);
        }
    }

protected:
    void draw() override {
        const int frameWidth = std::min(frame_.width, w());
        const int frameHeight = std::min(frame_.height, h());
        if (frameWidth > 0 && frameHeight > 0) {
            // The row stride keeps the frame's own width when the window is narrower.
            fl_draw_image(frame_.rgb.data(), 0, 0, frameWidth, frameHeight, 3, frame_.width * 3);
        }
        // Between a resize and the next frame, whatever the frame does not cover is black.
        if (frameWidth < w())
            fl_rectf(frameWidth, 0, w() - frameWidth, h(), 0, 0, 0);
        if (frameHeight < h())
            fl_rectf(0, frameHeight, frameWidth, h() - frameHeight, 0, 0, 0);
    }

private:
    // FLTK calls a window's callback for the window manager's close request and, unless a
    // handler took the key first, for Escape. Only the first ends the program: hiding the one
    // window makes Fl::run return.
    static void onClose(Fl_Widget* widget, void*) {
        if (Fl::event() != FL_CLOSE)
            return;
        widget->hide();
    }

    WindowEvents* events_ = nullptr;
    Frame frame_;
};

FltkDesktop::FltkDesktop(std::string title) : title_(std::move(title)) {
    keepToolkitSettingsInMemory();
    openDisplayWithoutInputMethod();
    // The error box's one button reads OK; FLTK labels it with fl_close.
    fl_close = "OK";
    window_ = std::make_unique<MainWindow>(WindowGeometry{0, 0, 1, 1}, title_.c_str());
}

FltkDesktop::~FltkDesktop() {
    Fl::remove_timeout(onTick, this);
}

int FltkDesktop::run(WindowEvents& events) {
    events_ = &events;
    window_->setEvents(&events);
    window_->show();
    // The tick runs from here to the end, so that it already runs under an error box that the
    // start-up load may show.
    Fl::add_timeout(tickSeconds, onTick, this);
    // FLTK handles no event before show() returns, so this is the first moment the window is
    // shown and the first the core hears of it: the start-up load runs before any input.
    events.activate();
    Fl::run();
    Fl::remove_timeout(onTick, this);
    return 0;
}

void FltkDesktop::onTick(void* desktop) {
    // Rescheduled first: a tick that opens a modal box must not hold up the ticks behind it.
    Fl::repeat_timeout(tickSeconds, onTick, desktop);
    static_cast<FltkDesktop*>(desktop)->events_->tick();
}

void FltkDesktop::setGeometry(const WindowGeometry& geometry) {
    window_->resize(geometry.left, geometry.top, geometry.width, geometry.height);
}

WindowGeometry FltkDesktop::geometry() const {
    return {window_->x(), window_->y(), window_->w(), window_->h()};
}

void FltkDesktop::present(const Frame& frame) {
    window_->showFrame(frame);
}

void FltkDesktop::showError(const std::string& text) {
    // fl_alert shows the error icon and runs a modal loop of its own in which timeouts go on
    // firing. The caption applies to the next box only, so it is set every time.
    fl_message_title(title_.c_str());
    fl_alert("%s", text.c_str());
}

std::optional<std::string> FltkDesktop::chooseFile(const std::string& initialName) {
    // FLTK's own chooser rather than the native one: the native one hands over to GTK, whose
    // loop stops our timer while the dialog is open.
    if (!chooser_) {
        // The file name field is the program's only text entry.
        openInputMethod();
        chooser_ = std::make_unique<Fl_File_Chooser>(nullptr, allFiles, Fl_File_Chooser::SINGLE,
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

std::string FltkDesktop::executablePath() const {
    return posix::executablePath();
}

FileStatus FltkDesktop::readFile(const std::string& path, std::string& contents) {
    return posix::readFile(path, contents);
}

FileStatus FltkDesktop::replaceFile(const std::string& path, std::string_view contents) {
    return posix::replaceFile(path, contents);
}

void FltkDesktop::launch(const std::string& path, const std::string& workingFolder) {
    posix::launch(path, workingFolder);
}

int FltkDesktop::millisecondOfDay() const {
    return posix::millisecondOfDay();
}

void FltkDesktop::exitProcess(int status) {
    // _exit rather than exit: no further event is handled, and no destructor of the toolkit's
    // gets a chance to write anything on the way out.
    Fl::flush();
    ::_exit(status);
}

} // namespace dravix::fltk
