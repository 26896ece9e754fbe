#include "platform/win32/win32_desktop.h"

#include "platform/scale.h"
#include "platform/tick_grid.h"
#include "platform/win32/win32_accessible.h"
#include "platform/win32/win32_folder_claim.h"
#include "platform/win32/win32_frame.h"
#include "platform/win32/win32_resources.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h> // DragAcceptFiles
#include <shellscalingapi.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <stdexcept>
#include <utility>

namespace dravix::win32 {

namespace {

// The key's virtual-key code; Tab with Shift held has a code of its own, 0x109, as the core tells
// the two apart by code alone.
int keyCodeOf(WPARAM key) {
    constexpr int shiftTab = 0x100 | VK_TAB;
    if (key == VK_TAB && GetKeyState(VK_SHIFT) < 0)
        return shiftTab;
    return static_cast<int>(key);
}

// The window class keeps the main window's class name, so that tools that look windows up by
// class find it.
constexpr const char* windowClassName = "TForm1";
constexpr const wchar_t* tipClassName = L"DravixTip";
// Room between the tip's border and its text.
constexpr int tipPaddingX = 4;
constexpr int tipPaddingY = 2;
// The tip's window words: the font of its text and the DPI that its padding follows, both those
// of the strip's monitor, set by showTip.
constexpr int tipFontWord = 0;
constexpr int tipDpiWord = sizeof(LONG_PTR);
// The DPI at which Windows shows every pixel once.
constexpr int usualDpi = 96;
// The sizes of the images in the program icon (platform/win32/CMakeLists.txt).
constexpr int programIconSizes[] = {16, 24, 32, 48, 256};
constexpr DWORD tipStyle = WS_POPUP | WS_BORDER;
constexpr DWORD tipExtendedStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
constexpr UINT_PTR tickTimer = 1;
// "*.*" is both the filter's description and its pattern; the list ends with an empty string.
constexpr const wchar_t allFilesFilter[] = L"*.*\0*.*\0";
// Room for the longest path Windows knows, in UTF-16 units.
constexpr std::size_t fileNameCapacity = 32768;

std::optional<MouseButton> buttonOfMessage(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return MouseButton::left;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return MouseButton::right;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        return MouseButton::middle;
    default:
        return std::nullopt;
    }
}

// RECT edges are 32-bit; an edge beyond them is cut there, which keeps the same monitor nearest.
LONG edgeOf(long long coordinate) {
    return static_cast<LONG>(std::clamp<long long>(coordinate, LONG_MIN, LONG_MAX));
}

ScreenRect screenRectOf(const RECT& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

// A function that older versions of Windows lack, from one of its libraries; nullptr there. The
// DPI functions came with Windows 8.1 and 10, and the program still starts on Windows 7.
template <typename FunctionPointer>
FunctionPointer systemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr)
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<FunctionPointer>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The DPI of the window's monitor (Windows 10 from version 1607; 8.1 through the shell's
// scaling API); before that the system's, which the manifest's dpiAware makes true there too.
unsigned dpiOfWindow(HWND window) {
    static const auto forWindow =
        systemFunction<decltype(&GetDpiForWindow)>(L"user32.dll", "GetDpiForWindow");
    if (forWindow != nullptr)
        return forWindow(window);
    static const auto forMonitor =
        systemFunction<decltype(&GetDpiForMonitor)>(L"shcore.dll", "GetDpiForMonitor");
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (forMonitor != nullptr &&
        SUCCEEDED(forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), MDT_EFFECTIVE_DPI,
                             &dpiX, &dpiY)))
        return dpiY;
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return static_cast<unsigned>(dpi);
}

int systemMetricForDpi(int index, unsigned dpi) {
    static const auto forDpi =
        systemFunction<decltype(&GetSystemMetricsForDpi)>(L"user32.dll", "GetSystemMetricsForDpi");
    return forDpi != nullptr ? forDpi(index, dpi) : GetSystemMetrics(index);
}

// The largest image of the program icon no larger than the size Windows asks for (the smallest
// when all are larger): an image of its own size, never one stretched by this program.
int programIconSizeFor(int wanted) {
    int chosen = programIconSizes[0];
    for (const int size : programIconSizes) {
        if (size <= wanted)
            chosen = size;
    }
    return chosen;
}

// The font Windows draws tooltips in (the status font), at the DPI; nullptr when there is none.
HFONT tooltipFont(unsigned dpi) {
    static const auto forDpi = systemFunction<decltype(&SystemParametersInfoForDpi)>(
        L"user32.dll", "SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const bool found =
        forDpi != nullptr
            ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
            : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return found ? CreateFontIndirectW(&metrics.lfStatusFont) : nullptr;
}

HGDIOBJ tipFontOf(HWND tip) {
    const auto font = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrW(tip, tipFontWord));
    return font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT);
}

// The room between the tip's border and its text at the tip's DPI.
SIZE tipPadding(HWND tip) {
    const auto dpi = static_cast<int>(GetWindowLongPtrW(tip, tipDpiWord));
    const int scaledBy = dpi > 0 ? dpi : usualDpi;
    return {MulDiv(tipPaddingX, scaledBy, usualDpi), MulDiv(tipPaddingY, scaledBy, usualDpi)};
}

// The message by which a launch thread tells the window that an answer waits for it. Registered
// rather than taken from WM_APP: the thread may post it after the strip is gone, when the handle
// may name another window.
UINT launchAnsweredMessage() {
    static const UINT message = RegisterWindowMessageW(L"Dravix.LaunchAnswered");
    return message;
}

std::wstring windowText(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The tip draws its text (its window title) in the GUI font on the class's info background, and
// lets every press and move through to what lies below, so that it never takes input from the
// strip it describes.
LRESULT CALLBACK tipProcedure(HWND tip, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_PAINT: {
        PAINTSTRUCT painting;
        const HDC dc = BeginPaint(tip, &painting);
        const std::wstring text = windowText(tip);
        const HGDIOBJ oldFont = SelectObject(dc, tipFontOf(tip));
        SetBkMode(dc, TRANSPARENT);
        // The theme's tooltip text: black unless a high-contrast theme says otherwise.
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        const SIZE padding = tipPadding(tip);
        TextOutW(dc, padding.cx, padding.cy, text.c_str(), static_cast<int>(text.size()));
        SelectObject(dc, oldFont);
        EndPaint(tip, &painting);
        return 0;
    }
    default:
        return DefWindowProcW(tip, message, wParam, lParam);
    }
}

// The window size that holds the text in the GUI font with the padding and the border around it.
SIZE tipSizeFor(HWND tip, const std::wstring& text) {
    const HDC dc = GetDC(tip);
    const HGDIOBJ oldFont = SelectObject(dc, tipFontOf(tip));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, oldFont);
    ReleaseDC(tip, dc);
    const SIZE padding = tipPadding(tip);
    RECT frame{0, 0, extent.cx + 2 * padding.cx, metrics.tmHeight + 2 * padding.cy};
    AdjustWindowRectEx(&frame, tipStyle, FALSE, tipExtendedStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

} // namespace

struct Win32Desktop::LaunchAnswers {
    std::mutex lock;
    std::vector<std::optional<std::string>> failures; // nothing for a launch that started
};

struct Win32Desktop::Procedure {
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            auto* desktop = static_cast<Win32Desktop*>(creation->lpCreateParams);
            desktop->window_ = window;
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(desktop));
        }
        auto* desktop = reinterpret_cast<Win32Desktop*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (desktop == nullptr)
            return DefWindowProcA(window, message, wParam, lParam);
        return desktop->handleMessage(window, message, wParam, lParam);
    }
};

Win32Desktop::Win32Desktop(std::string title, std::uint64_t folderMark)
    : title_(std::move(title)), startedAt_(GetTickCount64()),
      launchAnswers_(std::make_shared<LaunchAnswers>()) {
    // The shell's handlers and the file dialog expect a single-threaded apartment.
    comInitialized_ =
        SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    // No CS_DBLCLKS: a double click then arrives as two presses.
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = Procedure::windowProcedure;
    windowClass.hInstance = instance;
    // The icons are the window's own (setIcons), in the sizes for its monitor's DPI.
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = windowClassName;
    if (RegisterClassExA(&windowClass) == 0)
        throw std::runtime_error("The window class could not be registered");
    // Without its class the tip is just never shown.
    WNDCLASSEXW tipClass{};
    tipClass.cbSize = sizeof tipClass;
    tipClass.lpfnWndProc = tipProcedure;
    tipClass.cbWndExtra = 2 * sizeof(LONG_PTR); // tipFontWord, tipDpiWord
    tipClass.hInstance = instance;
    tipClass.hCursor = windowClass.hCursor;
    tipClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_INFOBK + 1));
    tipClass.lpszClassName = tipClassName;
    RegisterClassExW(&tipClass);

    // A popup has no frame at all, so its window and client areas are the same. WS_EX_APPWINDOW
    // gives it a taskbar entry.
    CreateWindowExA(WS_EX_APPWINDOW, windowClassName, title_.c_str(), WS_POPUP, 0, 0, 1, 1, nullptr,
                    nullptr, instance, this);
    if (window_ == nullptr) {
        UnregisterClassW(tipClassName, instance);
        UnregisterClassA(windowClassName, instance);
        throw std::runtime_error("The window could not be created");
    }
    if (folderMark != 0)
        markWindow(window_, folderMark);
    DragAcceptFiles(window_, TRUE);
    dpi_ = dpiOfWindow(window_);
    scale_ = scaleForDpi(dpi_);
    setIcons();
}

Win32Desktop::~Win32Desktop() {
    if (window_ != nullptr) {
        KillTimer(window_, tickTimer);
        DestroyWindow(window_); // and the tip it owns
    }
    for (HICON icon : icons_) {
        if (icon != nullptr)
            DestroyIcon(icon);
    }
    if (tipFont_ != nullptr)
        DeleteObject(tipFont_);
    UnregisterClassW(tipClassName, GetModuleHandleA(nullptr));
    UnregisterClassA(windowClassName, GetModuleHandleA(nullptr));
    if (comInitialized_)
        CoUninitialize();
}

int Win32Desktop::run(WindowEvents& events) {
    events_ = &events;
    screenReaders_ = std::make_unique<ScreenReaders>(window_, title_);
    screenReaders_->attach(events.accessibleSource());
    // Showing activates the window. A shortcut set to start minimised or maximised would have
    // its way with this first ShowWindow; the strip is only ever shown at its own size.
    ShowWindow(window_, SW_SHOWNORMAL);
    if (IsIconic(window_) || IsZoomed(window_))
        ShowWindow(window_, SW_RESTORE);
    // When the window did not become active (another program keeps the foreground), the load
    // runs now all the same: input is handled only from the message loop below.
    deliverFirstActivation();

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    events_ = nullptr;
    screenReaders_->attach(nullptr);
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

// A screen reader's press, as a click: not while a box or dialog disables the strip.
void Win32Desktop::deliverAccessiblePress(int node) {
    if (!IsWindowEnabled(window_))
        return;
    deliver([node](WindowEvents& events) {
        if (AccessibleSource* source = events.accessibleSource())
            source->accessiblePress(node);
    });
}

// The screen readers' views of the window (the UI Automation root, the client area's
// IAccessible); the default handling for the other objects.
std::optional<LRESULT> Win32Desktop::accessibleObject(WPARAM wParam, LPARAM lParam) {
    LRESULT answer = 0;
    if (screenReaders_ && screenReaders_->answer(wParam, lParam, answer))
        return answer;
    return std::nullopt;
}

void Win32Desktop::accessibleChanged(const AccessibleEvent& event) {
    if (screenReaders_)
        screenReaders_->changed(event);
}

void Win32Desktop::deliverFirstActivation() {
    if (activationDelivered_ || events_ == nullptr)
        return;
    activationDelivered_ = true;
    events_->activate();
}

// Hands an event to the core. Only the message loop of run has one to hand it to: messages before
// it (while the window is made and shown) and after it (while it is destroyed) reach nobody.
template <typename Deliver> void Win32Desktop::deliver(Deliver&& call) {
    if (events_ != nullptr)
        call(*events_);
}

LRESULT Win32Desktop::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == launchAnsweredMessage()) {
        deliverLaunchAnswers();
        return 0;
    }
    if (message == ScreenReaders::pressMessage()) {
        deliverAccessiblePress(static_cast<int>(wParam));
        return 0;
    }
    if (message == ScreenReaders::lookMessage())
        return ScreenReaders::answerLook(lParam);
    // A strip with a box up is disabled: the box came forward, and the strip waits for it.
    if (message == anotherStartMessage()) {
        // The second start allowed this process the foreground before it posted the message.
        SetForegroundWindow(GetLastActivePopup(window));
        if (IsWindowEnabled(window))
            deliver([](WindowEvents& events) { events.anotherStart(); });
        return 0;
    }
    // Each part answers the messages it knows; nothing means the default handling.
    std::optional<LRESULT> answer = pointerMessage(window, message, wParam, lParam);
    if (!answer)
        answer = keyMessage(message, wParam);
    if (!answer)
        answer = timerMessage(message, wParam);
    if (!answer)
        answer = otherMessage(window, message, wParam, lParam);
    return answer ? *answer : DefWindowProcA(window, message, wParam, lParam);
}

// The pointer's place comes as client coordinates, which for a popup are window coordinates.
// Windows works them out from the screen point when GetMessage takes the message, with the window
// where it is then, after every SetWindowPos this thread made before. So they add up with
// geometry() to the true screen point also while a drag moves the window under the pointer; the
// move that Windows makes up when the window slides under a still pointer names that same screen
// point.
std::optional<LRESULT> Win32Desktop::pointerMessage(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    const int x = programPixel(GET_X_LPARAM(lParam), scale_);
    const int y = programPixel(GET_Y_LPARAM(lParam), scale_);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        buttonDown(window, *buttonOfMessage(message), x, y);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        buttonUp(*buttonOfMessage(message), x, y);
        return 0;
    case WM_CAPTURECHANGED:
        // Another window took the pointer while a button was held (a switch to another program, a
        // box that came up): no release is due here any more, and a drag left running would make
        // the strip follow the pointer whenever it crosses the window. The core ends the press
        // and the drag; a release that still comes is dropped as one whose press was not seen,
        // since the core would only swallow it. Our own ReleaseCapture comes here with every
        // button already up.
        if (reinterpret_cast<HWND>(lParam) != window && pressed_.loseCapture())
            deliver([](WindowEvents& events) { events.captureLost(); });
        return 0;
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            TRACKMOUSEEVENT leave{};
            leave.cbSize = sizeof leave;
            leave.dwFlags = TME_LEAVE;
            leave.hwndTrack = window;
            trackingLeave_ = TrackMouseEvent(&leave) != FALSE;
        }
        deliver([x, y](WindowEvents& events) { events.mouseMove(x, y); });
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        deliver([](WindowEvents& events) { events.pointerLeft(); });
        return 0;
    case WM_DROPFILES:
        deliverDrop(reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        return std::nullopt;
    }
}

void Win32Desktop::buttonDown(HWND window, MouseButton button, int x, int y) {
    pressed_.press(button);
    // A captured pointer sends the moves and the release here, outside the window too.
    if (pressed_.captures(button))
        SetCapture(window);
    deliver([&](WindowEvents& events) { events.mouseDown(x, y, button); });
}

void Win32Desktop::buttonUp(MouseButton button, int x, int y) {
    const bool pressedHere = pressed_.release(button) == Release::held;
    // The capture stays while the other capturing button is still held.
    if (pressed_.captures(button) && !pressed_.capturing())
        ReleaseCapture();
    if (pressedHere)
        deliver([&](WindowEvents& events) { events.mouseUp(x, y, button); });
}

std::optional<LRESULT> Win32Desktop::keyMessage(UINT message, WPARAM wParam) {
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN)
        return std::nullopt;
    deliver([wParam](WindowEvents& events) { events.keyDown(keyCodeOf(wParam)); });
    // Alt combinations go on to the system, so that Alt+F4 still closes the window.
    if (message == WM_KEYDOWN)
        return 0;
    return std::nullopt;
}

std::optional<LRESULT> Win32Desktop::timerMessage(UINT message, WPARAM wParam) {
    if (message != WM_TIMER || wParam != tickTimer)
        return std::nullopt;
    // Set again first: a tick that opens a modal box must not hold up the ticks behind it.
    if (ticking_)
        armTick(true);
    deliver([](WindowEvents& events) { events.tick(); });
    return 0;
}

// Painting, activation, size limits, the system menu, the monitor's density and the end.
std::optional<LRESULT> Win32Desktop::otherMessage(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // WM_PAINT covers every pixel
    case WM_GETOBJECT:
        return accessibleObject(wParam, lParam);
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = POINT{1, 1};
        return 0;
    case WM_SYSCOMMAND:
        // The core moves and sizes the window from its real geometry; a minimised or maximised
        // window has another.
        if ((wParam & 0xFFF0) == SC_MINIMIZE || (wParam & 0xFFF0) == SC_MAXIMIZE)
            return 0;
        return std::nullopt;
    case WM_ACTIVATE: {
        // The default handler gives the window the keyboard focus, so it goes first.
        const LRESULT result = DefWindowProcA(window, message, wParam, lParam);
        if (LOWORD(wParam) != WA_INACTIVE)
            deliverFirstActivation();
        return result;
    }
    case WM_DPICHANGED: {
        // The window went to a monitor of another density, or its monitor's scale was changed.
        // Windows suggests the window scaled by the ratio of the two DPIs, which from 150 % to
        // 200 % would be no whole factor: only the suggested place is taken, and the size is the
        // program's at the new factor. When our own setGeometry moved the window there, the place
        // it asked for stands.
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        followDpi(HIWORD(wParam), placing_.value_or(Place{suggested->left, suggested->top}));
        return 0;
    }
    case WM_DESTROY:
        if (screenReaders_)
            screenReaders_->windowDestroyed();
        // Closed from outside while the loop runs: the loop ends. The destructor's own
        // DestroyWindow must not leave a quit message for a later loop of this thread.
        if (events_ != nullptr)
            PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        // The tip, an owned window, went before its owner.
        unmarkWindow(window);
        window_ = nullptr;
        tip_ = nullptr;
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

// The first file of the drop, at the drop point in client coordinates: for the popup those are
// the window coordinates that the mouse messages carry too.
void Win32Desktop::deliverDrop(HDROP drop) {
    POINT at{};
    DragQueryPoint(drop, &at);
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(static_cast<std::size_t>(length) + 1, L'\0');
    name.resize(DragQueryFileW(drop, 0, name.data(), length + 1));
    // Freed before the core runs: an error box it may show runs a modal loop of its own.
    DragFinish(drop);
    if (!name.empty())
        deliver([&](WindowEvents& events) {
            events.fileDropped(programPixel(at.x, scale_), programPixel(at.y, scale_),
                               utf8FromWide(name));
        });
}

void Win32Desktop::deliverLaunchAnswers() {
    std::vector<std::optional<std::string>> failures;
    {
        const std::lock_guard<std::mutex> hold(launchAnswers_->lock);
        failures.swap(launchAnswers_->failures);
    }
    for (const std::optional<std::string>& failure : failures) {
        deliver([&](WindowEvents& events) {
            if (failure)
                events.launchFailed(*failure);
            else
                events.launchStarted();
        });
    }
}

void Win32Desktop::paint() {
    PAINTSTRUCT painting;
    const HDC dc = BeginPaint(window_, &painting);
    RECT client;
    GetClientRect(window_, &client);
    if (dibWidth_ > 0 && dibHeight_ > 0) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = dibWidth_;
        info.bmiHeader.biHeight = -dibHeight_; // negative: the first row is the top one
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(dibWidth_), static_cast<DWORD>(dibHeight_),
                          0, 0, 0, static_cast<UINT>(dibHeight_), dibRows_.data(), &info,
                          DIB_RGB_COLORS);
        ExcludeClipRect(dc, 0, 0, dibWidth_, dibHeight_);
    }
    // Between a resize and the next frame, whatever the frame does not cover is black.
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window_, &painting);
}

void Win32Desktop::setGeometry(const WindowGeometry& geometry) {
    width_ = geometry.width;
    height_ = geometry.height;
    // A move onto a monitor of another DPI brings WM_DPICHANGED before SetWindowPos returns.
    placing_ = Place{geometry.left, geometry.top};
    SetWindowPos(window_, nullptr, geometry.left, geometry.top, geometry.width * scale_,
                 geometry.height * scale_, SWP_NOZORDER | SWP_NOACTIVATE);
    placing_.reset();
}

WindowGeometry Win32Desktop::geometry() const {
    RECT area{};
    GetWindowRect(window_, &area);
    return {area.left, area.top, (area.right - area.left) / scale_,
            (area.bottom - area.top) / scale_};
}

void Win32Desktop::followDpi(unsigned dpi, Place at) {
    dpi_ = dpi;
    scale_ = scaleForDpi(dpi);
    SetWindowPos(window_, nullptr, at.left, at.top, width_ * scale_, height_ * scale_,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    setIcons();
    if (!frame_.rgb.empty()) // a frame was presented
        showFrame();
}

// The icons that Windows shows for the window (the taskbar, Alt+Tab), each an image of the
// program icon in the size that the window's DPI asks for.
void Win32Desktop::setIcons() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    const int metrics[2] = {SM_CXICON, SM_CXSMICON};
    const WPARAM kinds[2] = {ICON_BIG, ICON_SMALL};
    for (int which = 0; which < 2; ++which) {
        const int size = programIconSizeFor(systemMetricForDpi(metrics[which], dpi_));
        const auto icon = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(DRAVIX_PROGRAM_ICON), IMAGE_ICON, size, size, 0));
        SendMessageA(window_, WM_SETICON, kinds[which], reinterpret_cast<LPARAM>(icon));
        if (icons_[which] != nullptr)
            DestroyIcon(icons_[which]);
        icons_[which] = icon;
    }
}

ScreenRect Win32Desktop::workAreaNear(const ScreenRect& area) const {
    const RECT rect{area.left, area.top, edgeOf(area.right()), edgeOf(area.bottom())};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor))
        return screenRectOf(monitor.rcWork);
    // A monitor that went away between the two calls: the primary one's work area instead.
    RECT primary{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0);
    return screenRectOf(primary);
}

void Win32Desktop::present(const Frame& frame) {
    frame_ = frame;
    showFrame();
}

void Win32Desktop::showFrame() {
    dibRowsFromFrame(frame_, scale_, dibRows_);
    dibWidth_ = frame_.width * scale_;
    dibHeight_ = frame_.height * scale_;
    // Painted before returning, so that what the core presents shows at once.
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
}

void Win32Desktop::showError(const std::string& text) {
    // The owner is disabled while the box is up; the box's modal loop goes on dispatching the
    // owner's WM_TIMER, so the tick keeps coming.
    MessageBoxW(window_, wideFromUtf8(text).c_str(), wideFromUtf8(title_).c_str(),
                MB_ICONERROR | MB_OK);
}

std::optional<std::string> Win32Desktop::chooseFile(const std::string& initialName) {
    const std::wstring initial = wideFromUtf8(initialName);
    std::vector<wchar_t> name(std::max(fileNameCapacity, initial.size() + 1), L'\0');
    std::copy(initial.begin(), initial.end(), name.begin());

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = window_;
    request.lpstrFilter = allFilesFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = name.data();
    request.nMaxFile = static_cast<DWORD>(name.size());
    // OFN_NOCHANGEDIR: the dialog leaves the process's working folder as it was.
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&request))
        return std::nullopt;
    return utf8FromWide(name.data());
}

// The tip window with the font of the strip's DPI, made at the first use; nullptr when Windows
// makes none.
HWND Win32Desktop::ensureTip() {
    if (tip_ == nullptr) {
        // Owned by the strip: it goes with the strip and stays above it.
        tip_ = CreateWindowExW(tipExtendedStyle, tipClassName, L"", tipStyle, 0, 0, 1, 1, window_,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        if (tip_ == nullptr)
            return nullptr;
    }
    if (tipFontDpi_ != dpi_) {
        if (const HFONT font = tooltipFont(dpi_)) {
            if (tipFont_ != nullptr)
                DeleteObject(tipFont_);
            tipFont_ = font;
        }
        tipFontDpi_ = dpi_;
    }
    SetWindowLongPtrW(tip_, tipFontWord, reinterpret_cast<LONG_PTR>(tipFont_));
    SetWindowLongPtrW(tip_, tipDpiWord, static_cast<LONG_PTR>(dpi_));
    return tip_;
}

PixelSize Win32Desktop::tipSize(const std::string& text) {
    if (ensureTip() == nullptr)
        return {};
    const SIZE size = tipSizeFor(tip_, wideFromUtf8(text));
    return {size.cx, size.cy};
}

void Win32Desktop::showTip(const std::string& text, Place at) {
    if (ensureTip() == nullptr)
        return;
    const std::wstring wide = wideFromUtf8(text);
    SetWindowTextW(tip_, wide.c_str());
    const SIZE size = tipSizeFor(tip_, wide);
    SetWindowPos(tip_, HWND_TOPMOST, at.left, at.top, size.cx, size.cy, SWP_NOACTIVATE);
    InvalidateRect(tip_, nullptr, TRUE);
    ShowWindow(tip_, SW_SHOWNOACTIVATE);
}

void Win32Desktop::hideTip() {
    if (tip_ != nullptr)
        ShowWindow(tip_, SW_HIDE);
}

// A launch thread leaves its answer and wakes the window, which delivers it from the loop.
LateLaunchOutcome Win32Desktop::launchOutcomeReport() {
    return [window = window_, answers = launchAnswers_](std::optional<std::string> failure) {
        {
            const std::lock_guard<std::mutex> hold(answers->lock);
            answers->failures.push_back(std::move(failure));
        }
        // Fails, harmlessly, when the window is gone.
        PostMessageW(window, launchAnsweredMessage(), 0, 0);
    };
}

void Win32Desktop::setTicking(bool ticking) {
    if (ticking == ticking_)
        return;
    ticking_ = ticking;
    if (ticking)
        armTick(false);
    else
        KillTimer(window_, tickTimer);
}

// The timer is set anew for each tick. On a wake it runs to the next point of the grid; after a
// tick to the point nearest a tick from now, so that neither a late WM_TIMER (a low-priority
// message) nor an early one shifts the grid or ticks twice at one point.
void Win32Desktop::armTick(bool afterTick) {
    const long long elapsed = static_cast<long long>(GetTickCount64() - startedAt_);
    const long long half = afterTick ? tickMilliseconds / 2 : 0;
    const long long delay = millisecondsToNextTick(elapsed + half) + half;
    SetTimer(window_, tickTimer, static_cast<UINT>(std::max<long long>(delay, USER_TIMER_MINIMUM)),
             nullptr);
}

void Win32Desktop::exitProcess(int status) {
    ExitProcess(static_cast<UINT>(status));
}

} // namespace dravix::win32
