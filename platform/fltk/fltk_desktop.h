// The X11 desktop through FLTK 1.3.
//
//  [X] borderless top-level window, placed exactly where asked, also with no window manager
//  [X] mapped once, at the place and size that activate set and showing the frame it presented,
//      with the place in the size hints (USPosition, PPosition), so that window managers that
//      honour only a window's first place put it right
//  [X] a taskbar citizen from the first map: no taskbar exception, WM_CLASS "dravix", "Dravix"
//      (the error box and the file dialog too), _NET_WM_PID, a 16, 24, 32, 48 and 256 pixel icon
//      drawn from the closed toggle, and WM_HINTS that take the focus like any new window
//  [X] geometry changes take effect at once, a move with a resize as one request; no minimum
//      size (26 x 23 works); a black background where no frame is drawn yet
//  [X] geometry() follows moves by the window manager or the user: the window's own top-left
//      corner in root coordinates, not its frame's
//  [X] the work area of each monitor (FLTK's list of them): less the struts of every panel on
//      the screen, listed by the window manager or not, and within the window manager's
//      _NET_WORKAREA of the current desktop, read afresh on each call (the panels the manager
//      does not list at most once a second); the whole monitor with no window manager and no
//      panel
//  [X] on every workspace (_NET_WM_DESKTOP all, sticky), keeping the taskbar entry
//  [X] a window manager that maps the window elsewhere or at another size than asked (i3 puts
//      its frame at the place and keeps floating windows at least 75 x 50) is asked once more
//      for the place and size, so what the user sees, and the exit saves, is the place asked for
//  [X] frames shown opaque at the window's top-left corner, each pixel a square of scale() x
//      scale() screen pixels (nearest neighbour); the scale is Xft.dpi / 96 from the X resources
//      at the start, rounded half up to a whole number; window sizes, the size hints and the
//      pointer follow it
//  [X] the path tip's text and padding follow the factor
//  [ ] a change of Xft.dpi while the program runs shows at the next start; the error box and
//      FLTK's own file chooser keep FLTK's unscaled look
//  [X] mouse press, move and release in window coordinates against geometry(), so that they stay
//      true while the window moves; also outside the window while any button is held; left 0,
//      right 1, middle 2; side buttons are not delivered
//  [X] key down for every key, repeats and modifiers on their own included: the arrows, Escape
//      and the digits as their Windows codes (the keypad's arrows while NumLock is off, its
//      digits while it is on), any other key as a code of its own above 255
//  [X] 100 ms timer that keeps running under the error box and the file dialog
//  [X] activate delivered once, before the window is first shown and before any input
//  [X] modal error box: caption from the title, error icon, one OK button, transient for the
//      strip, which is shown first when the box comes during activate; centred on the toggle,
//      kept within the toggle's monitor's work area
//  [X] open-file dialog of the desktop that runs, as a program of its own: kdialog under KDE,
//      else zenity, taken from the absolute PATH entries only, sized to fit the work area of the
//      strip's monitor; the strip takes no input while it is up; output is the choice, status 1 a
//      cancel
//  [X] FLTK's own chooser where neither is installed or it fails: modal, all files, the last
//      name filled in, names that do not exist yet taken, transient for the strip; BackSpace and
//      Shift+Tab are kept from its pop-up menus, which FLTK 1.3.8 crashes on with the pointer off
//      the menu
//  [ ] zenity 3.44 ignores --attach in its file dialog, so that it is not transient for the
//      strip; it and kdialog take only existing files
//  [X] files dropped from a file manager (XDND through FLTK, XdndAware 4): the first local file
//      of the text/uri-list, percent-decoded, at the last position report in window coordinates;
//      refused behind a modal window
//  [X] path tip: an override-redirect window in FLTK's tooltip look that lets the pointer through
//      (an empty input shape), gone with the strip, never shown over a dialog; its size measured
//      in that font for the core, which places it; the pointer leaving the strip is delivered
//  [X] capture loss, delivered once before any later input, the held buttons' later releases
//      dropped: a dialog opening or a pointer grab of ours (a pop-up menu) while a button is held
//      on the strip, or a second press of a button whose release went elsewhere; no other client
//      can take the pointer from the implicit grab of a held button
//  [ ] a grab of ours taken while the pointer is held outside the strip shows only at the next
//      press
//  [X] the X input method (compose sequences, input servers) opens with the first file dialog,
//      the only window with a text field, instead of at start-up
//  [X] one strip per stored files: a second start for the same folder of stored files (the
//      folder's real path) brings the running strip (or its box or dialog) to the front and ends
//      before it reads anything; a claim owned by another client is said on stderr, status 1
//  [X] closing by the window manager ends the event loop; Escape does not close the window
//  [X] exit at once with a status
//  [X] screen readers (AT-SPI through ATK's bridge, in the module dravix-atspi.so): asked for on
//      the session bus after the first frame and watched, loaded only when the desktop wants
//      accessibility; nothing without a session bus or with NO_AT_BRIDGE=1 (fltk_accessibility.h)
//  [X] writes no toolkit preference files
//  [X] files, launch, executable path and clock are the system port's: posix::PosixSystem; the
//      answer to a launch it leaves pending is watched for in FLTK's loop (launchWatch) and
//      delivered as launchStarted or launchFailed, also under a box or dialog
//  [ ] while a window manager has not yet carried out a move or resize, geometry() gives the
//      place asked for, not the one the window still has
//  [ ] exact colours on visuals below 24 bits (FLTK dithers there)

#pragma once

#include "platform/fltk/x11_work_area.h"
#include "platform/posix/posix_services.h"
#include "platform/window_port.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class Fl_File_Chooser;

namespace dravix::x11 {
class FolderClaim;
} // namespace dravix::x11

namespace dravix::fltk {

class MainWindow;
class ScreenReaderBridge;

class FltkDesktop final : public WindowPort {
public:
    // Creates the window hidden; title is the window's title and the error box's caption. The
    // folder that claimFolder will claim, when given here, costs the claim a round trip less.
    explicit FltkDesktop(std::string title,
                         const std::optional<std::string>& folderToClaim = std::nullopt);
    ~FltkDesktop() override;
    FltkDesktop(const FltkDesktop&) = delete;
    FltkDesktop& operator=(const FltkDesktop&) = delete;

    // One strip per stored files: claims the folder that holds them for this process (held), or,
    // when a running strip holds it, asks that strip to come to the front (gaveWay); the caller
    // then ends without reading or writing anything. When the claim is owned by a client that is
    // no strip for the folder (foreign), one line on stderr says so, and the caller ends with a
    // failure rather than run beside whatever writes there. Call before run().
    ClaimOutcome claimFolder(const std::string& folder);

    // Where posix::PosixSystem hands the launches it leaves pending.
    posix::LaunchWatch launchWatch();

    // Delivers activate, shows the window where activate left it and handles events until the
    // window is closed. Returns the process's exit status.
    int run(WindowEvents& events);

    void setGeometry(const WindowGeometry& geometry) override;
    WindowGeometry geometry() const override;
    void present(const Frame& frame) override;
    ScreenRect workAreaNear(const ScreenRect& area) const override;
    // From Xft.dpi in the X resources as the program started (see scaleFromResources).
    int scale() const override { return scale_; }

    void showError(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialName) override;
    void showTip(const std::string& text, Place at) override;
    void hideTip() override;
    PixelSize tipSize(const std::string& text) override;

    // An FLTK timeout runs only while the program asks for the tick.
    void setTicking(bool ticking) override;
    [[noreturn]] void exitProcess(int status) override;
    void accessibleChanged(const AccessibleEvent& event) override;

private:
    struct WatchedLaunch;
    static void onTick(void* desktop);
    static void onLaunchAnswer(int descriptor, void* launch);
    static int onXEvent(void* event, void* desktop);
    // Whether the window was there to come forward.
    bool comeToFront(unsigned long serverTime);
    void mapWindowIfHidden();
    void prepareForDialog();
    void startScreenReaderBridge();
    void checkPlacementOnce();
    static void onMapped(void* desktop);
    ScreenRect workAreaOfStrip() const;

    std::string title_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Fl_File_Chooser> chooser_; // made on first use: it is slow to build
    std::unique_ptr<x11::FolderClaim> claim_;
    std::unique_ptr<ScreenReaderBridge> screenReader_;
    WindowEvents* events_ = nullptr;
    int scale_ = 1;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    bool ticking_ = false;
    // The request number of the last move or resize the program asked for: the server's reports
    // about the window made before it was handled are out of date.
    unsigned long lastPlacementRequest_ = 0;
    WindowGeometry asked_{};     // the place and size last asked for, on the screen
    bool mapSeen_ = false;       // the window's first MapNotify has come
    bool firstFrameOut_ = false; // and its first frame has gone to the server
    bool mapChecked_ = false;    // the window manager's first placement has been looked at
    // The first MapNotify, held from FLTK until the first frame is out.
    std::unique_ptr<union _XEvent> firstMap_;
    mutable MonitorReader monitors_; // the work areas, for workAreaNear
};

} // namespace dravix::fltk
