// The Windows desktop through the Win32 API, with no toolkit.
//
//  [X] borderless popup window (WS_POPUP), placed exactly where asked; taskbar entry "Dravix"
//      with the program icon
//  [X] geometry changes take effect at once (SetWindowPos); no minimum size (26 x 23 works)
//  [X] frames shown opaque at the window's top-left corner (24-bit top-down DIB), every pixel a
//      square block of scale() x scale() screen pixels, enlarged in memory (nearest neighbour)
//  [X] per-monitor DPI awareness (v2, manifest): scale() is the window's monitor's DPI / 96
//      rounded to a whole number (scaleForDpi); width and height are the program's pixels times
//      the scale, left and top stay screen pixels; WM_DPICHANGED takes the new monitor's factor,
//      resizes the window to it and shows the frame again; the window's icons follow the DPI
//  [X] mouse press, move and release in window coordinates divided by the scale (rounded down,
//      also left of and above the window); times the scale they add up with the geometry to the
//      true screen point also while the window moves; a left or middle press captures the
//      pointer, so its moves and release arrive also outside the window; left 0, right 1,
//      middle 2; the side buttons are not delivered; a double click arrives as a second press
//  [X] when another window takes the pointer while the left or middle button is held, the core
//      hears captureLost once and the held buttons are forgotten: their releases, should they
//      still come here, are dropped like any release whose press this window did not see
//  [X] a release whose press did not reach this window is dropped, as X11 never delivers one
//      (the release of a double click that closes the file dialog, for instance)
//  [X] key down with the virtual-key code, repeats and Alt combinations included
//  [X] 100 ms timer (SetTimer) that keeps running under the error box and the file dialog,
//      whose modal loops dispatch WM_TIMER
//  [X] activate delivered once: at the first WM_ACTIVATE or right after the window is shown,
//      whichever comes first, so the start-up load runs before any input
//  [X] work area of the monitor nearest a rectangle (MonitorFromRect, rcWork): the taskbar and
//      docked bars left out
//  [X] modal error box (MessageBoxW): caption from the title, error icon, one OK button
//  [X] modal open-file dialog (GetOpenFileNameW): filter "*.*", the given name filled in
//  [X] the box and the dialog are owned by the strip: they stay above it and disable it
//  [X] one strip per stored files: a named mutex per folder of stored files; a second start for
//      that folder brings the running strip (or its box or dialog) to the front and ends with
//      status 0 before it reads anything; copies with other folders run side by side; a mutex
//      that no strip answers for is said in a box, and the start ends with status 1
//  [ ] one folder reached by two names (a subst drive, a share and the drive mapped to it)
//      counts as two folders
//  [X] the answer to a launch that the system port left pending (Win32System, whose report is
//      launchOutcomeReport()) is delivered as launchStarted or launchFailed from the message loop
//  [X] files dropped from Explorer (WM_DROPFILES): the first one, at the drop point
//  [ ] drops onto a strip that runs as administrator: Windows blocks them from a normal Explorer
//      (UIPI), and the strip does not open that door
//  [X] a tip: a thin-bordered tool window in the system's tooltip colours and font (the status
//      font, at the strip's DPI), sized to its text, owned by the strip, above every window, never
//      active and transparent to the pointer; shown where asked, even where that runs off the
//      screen; tipSize measures it for the core, which keeps it on the work area; the pointer
//      leaving the strip is delivered (TrackMouseEvent)
//  [X] every path and text in UTF-8, handed to the W functions as UTF-16, so that any name
//      works whatever the ANSI code page; the manifest also declares UTF-8 as the process's code
//      page (heeded from Windows 10 version 1903 on)
//  [X] files, launch, executable path and clock are the system port's: Win32System
//  [X] screen readers: WM_GETOBJECT answers the UI Automation root with a fragment root of
//      Button elements (Invoke; ExpandCollapse on the toggle), and OBJID_CLIENT with an MSAA
//      IAccessible, both over the accessible model (win32_accessible.h), with focus, state, name
//      and structure events; uiautomationcore.dll and oleacc.dll are loaded only when a client asks
//  [X] closing from outside (Alt+F4, the taskbar) ends the message loop; exit at once with a
//      status (ExitProcess)
//  [ ] minimise and maximise: refused, so that the window's geometry is always its real one
//  [ ] monitors of different densities are followed as Windows documents it (WM_DPICHANGED);
//      Wine gives every monitor the same DPI and never sends it, so that is untried

#pragma once

#include "platform/held_buttons.h"
#include "platform/win32/win32_services.h"
#include "platform/window_port.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct HDROP__;
struct HFONT__;
struct HICON__;
struct HWND__;

namespace dravix::win32 {

class ScreenReaders;

class Win32Desktop final : public WindowPort {
public:
    // Creates the window hidden; title is the window's title and the error box's caption. A
    // folder mark other than 0 marks the window as the strip of that folder (win32_folder_claim.h).
    // Throws std::runtime_error when the window cannot be created.
    explicit Win32Desktop(std::string title, std::uint64_t folderMark = 0);
    ~Win32Desktop() override;
    Win32Desktop(const Win32Desktop&) = delete;
    Win32Desktop& operator=(const Win32Desktop&) = delete;

    // Shows the window, delivers activate and handles messages until the
    // window is closed. Returns the process's exit status.
    int run(WindowEvents& events);

    void setGeometry(const WindowGeometry& geometry) override;
    WindowGeometry geometry() const override;
    void present(const Frame& frame) override;
    ScreenRect workAreaNear(const ScreenRect& area) const override;
    // The factor of the monitor the window is on: 1 up to 1.25 times the usual 96 DPI, 2 from
    // 1.5 times, and so on.
    int scale() const override { return scale_; }

    void showError(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialName) override;
    void showTip(const std::string& text, Place at) override;
    void hideTip() override;
    PixelSize tipSize(const std::string& text) override;

    // Where Win32System reports the answer to a pending launch: it is delivered as launchStarted
    // or launchFailed from the message loop. Safe to call from any thread, also after the window
    // is gone (the reason is then dropped).
    LateLaunchOutcome launchOutcomeReport();

    // A window timer runs only while the program asks for the tick.
    void setTicking(bool ticking) override;
    [[noreturn]] void exitProcess(int status) override;
    void accessibleChanged(const AccessibleEvent& event) override;

private:
    struct Procedure;     // the window procedure, which calls handleMessage
    struct LaunchAnswers; // answers that launch threads leave for the window to deliver
    std::intptr_t handleMessage(HWND__* window, unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam);
    // The message handler's parts by concern; each answers the messages it knows and leaves the
    // rest (nothing) to the next part or to the default handling.
    std::optional<std::intptr_t> pointerMessage(HWND__* window, unsigned message,
                                                std::uintptr_t wParam, std::intptr_t lParam);
    std::optional<std::intptr_t> keyMessage(unsigned message, std::uintptr_t wParam);
    std::optional<std::intptr_t> timerMessage(unsigned message, std::uintptr_t wParam);
    std::optional<std::intptr_t> otherMessage(HWND__* window, unsigned message,
                                              std::uintptr_t wParam, std::intptr_t lParam);
    void buttonDown(HWND__* window, MouseButton button, int x, int y);
    void buttonUp(MouseButton button, int x, int y);
    template <typename Deliver> void deliver(Deliver&& call);
    void deliverFirstActivation();
    void deliverAccessiblePress(int node);
    std::optional<std::intptr_t> accessibleObject(std::uintptr_t wParam, std::intptr_t lParam);
    void deliverDrop(HDROP__* drop);
    void deliverLaunchAnswers();
    void paint();
    void armTick(bool afterTick);
    void showFrame();
    void followDpi(unsigned dpi, Place at);
    void setIcons();
    HWND__* ensureTip();

    std::string title_;
    HWND__* window_ = nullptr;
    HWND__* tip_ = nullptr; // made at the first showTip
    WindowEvents* events_ = nullptr;
    std::unique_ptr<ScreenReaders> screenReaders_; // made by run
    bool activationDelivered_ = false;
    bool ticking_ = false;
    std::uint64_t startedAt_; // GetTickCount64 when the desktop was made: the tick grid's origin
    bool comInitialized_ = false;
    // The presses that reached this window, whose release may follow. A left press captures the
    // pointer for the slot under it, a middle press for the drag of the strip.
    HeldButtons pressed_{MouseButton::left, MouseButton::middle};
    bool trackingLeave_ = false; // WM_MOUSELEAVE asked for since the last one came
    unsigned dpi_ = 96;          // of the window's monitor
    int scale_ = 1;
    // The program's size of the window, from which each factor makes the window's.
    int width_ = 1;
    int height_ = 1;
    std::optional<Place> placing_; // where setGeometry is putting the window, while it does
    Frame frame_;                  // the last one presented, to show again at a new factor
    int dibWidth_ = 0;             // the frame's size on the screen
    int dibHeight_ = 0;
    std::vector<std::uint8_t> dibRows_;
    HICON__* icons_[2] = {};     // the window's big and small icon, for the DPI
    HFONT__* tipFont_ = nullptr; // the tooltip font at tipFontDpi_, made by showTip
    unsigned tipFontDpi_ = 0;
    // Shared with the launch threads, which may outlive this object.
    std::shared_ptr<LaunchAnswers> launchAnswers_;
};

} // namespace dravix::win32
