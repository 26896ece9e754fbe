// The window's messages as the core receives them: the desktop runs its real message loop on a
// window of its own while the test posts input to it.

#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_folder_claim.h"
#include "tests/support/win32_test_folder.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace dravix::win32 {
namespace {

constexpr const char* testTitle = "Dravix window test";

const char* nameOf(MouseButton button) {
    switch (button) {
    case MouseButton::left:
        return "left";
    case MouseButton::right:
        return "right";
    case MouseButton::middle:
        return "middle";
    }
    return "?";
}

// Writes down every event but the ticks, which it counts; the tick numbered closingTick and a
// failed launch close the window.
class Recorder : public WindowEvents {
public:
    explicit Recorder(HWND window) : window_(window) {}

    void activate() override {
        events.push_back("activate");
        if (onActivate)
            onActivate();
    }
    void mouseDown(int x, int y, MouseButton button) override {
        events.push_back(describe("down", x, y) + " " + nameOf(button));
        if (onDown)
            onDown(button);
    }
    // The real pointer may move over the window meanwhile; only the posted moves are kept.
    void mouseMove(int x, int y) override {
        if (x < 0)
            events.push_back(describe("move", x, y) + (GetCapture() == window_ ? " captured" : ""));
    }
    void mouseUp(int x, int y, MouseButton button) override {
        events.push_back(describe("up", x, y) + " " + nameOf(button));
    }
    void keyDown(int virtualKey) override { events.push_back("key " + std::to_string(virtualKey)); }
    void tick() override {
        if (++ticks == closingTick)
            PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    void fileDropped(int x, int y, const std::string& path) override {
        events.push_back(describe("drop", x, y) + " " + path);
    }
    void captureLost() override { events.push_back("capture lost"); }
    // Counted apart from the events: the real pointer may cross the window meanwhile.
    void pointerLeft() override { ++leaves; }
    void anotherStart() override { events.push_back("another start"); }
    void launchStarted() override { events.push_back("launch started"); }
    void launchFailed(const std::string& reason) override {
        events.push_back("launch failed");
        failure = reason;
        PostMessageA(window_, WM_CLOSE, 0, 0);
    }

    std::vector<std::string> events;
    int ticks = 0;
    int leaves = 0;
    int closingTick = 3;
    std::string failure;
    std::function<void()> onActivate;
    std::function<void(MouseButton)> onDown;

private:
    static std::string describe(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
    }

    HWND window_;
};

// Runs the backend until the window closes, with the tick asked for from the start: the recorder
// closes the window on a tick.
int play(Win32Desktop& desktop, Recorder& recorder) {
    desktop.setTicking(true);
    return desktop.run(recorder);
}

LPARAM point(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

TEST(Win32Window, TakesAnySizeAndPlaceAtOnce) {
    Win32Desktop desktop(testTitle);
    for (const WindowGeometry& geometry :
         {WindowGeometry{196, 132, 26, 23}, WindowGeometry{196, -168, 26, 323},
          WindowGeometry{-30, 40, 244, 323}, WindowGeometry{5, 6, 26, 23}}) {
        desktop.setGeometry(geometry);
        EXPECT_EQ(desktop.geometry(), geometry);
    }
}

TEST(Win32Window, DeliversTheActivationFirstThenTheInputAndEndsWhenClosed) {
    Win32Desktop desktop(testTitle);
    desktop.setGeometry({40, 50, 26, 23});
    const HWND window = FindWindowA("TForm1", testTitle);
    ASSERT_NE(window, nullptr);

    // Queued before the loop runs: the activation still comes first.
    PostMessageA(window, WM_LBUTTONUP, 0, point(1, 1)); // its press went to another window
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(3, 4));
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, point(-5, -7)); // left of and above
    PostMessageA(window, WM_LBUTTONUP, 0, point(-5, -7));
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, point(10, 11));
    PostMessageA(window, WM_MOUSEMOVE, MK_RBUTTON, point(-1, -1)); // the right one captures not
    PostMessageA(window, WM_RBUTTONUP, 0, point(10, 11));
    // The middle button holds the pointer for a drag, also across a left click meanwhile.
    PostMessageA(window, WM_MBUTTONDOWN, MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_LBUTTONUP, MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_MOUSEMOVE, MK_MBUTTON, point(-8, -9));
    PostMessageA(window, WM_MBUTTONUP, 0, point(-8, -9));
    PostMessageA(window, WM_MOUSEMOVE, 0, point(-2, -3));
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 1);
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 1 | (1 << 30));    // a repeat of a held key
    PostMessageA(window, WM_SYSKEYDOWN, VK_DOWN, 1 | (1 << 29)); // with Alt

    Recorder recorder(window);
    EXPECT_EQ(play(desktop, recorder), 0);
    const std::vector<std::string> expected = {
        "activate",
        "down 3,4 left",
        "move -5,-7 captured",
        "up -5,-7 left",
        "down 10,11 right",
        "move -1,-1",
        "up 10,11 right",
        "down 12,13 middle",
        "down 12,13 left",
        "up 12,13 left",
        "move -8,-9 captured",
        "up -8,-9 middle",
        "move -2,-3",
        "key 37",
        "key 37",
        "key 40",
    };
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(recorder.ticks, 3);
}

// A move over the window asks Windows to say when the pointer has left it: once the pointer
// goes elsewhere (here at a right press), the leave follows.
TEST(Win32Window, ThePointerLeavingTheWindowIsDelivered) {
    Win32Desktop desktop(testTitle);
    desktop.setGeometry({40, 50, 26, 23});
    const HWND window = FindWindowA("TForm1", testTitle);
    SetCursorPos(45, 55);
    PostMessageA(window, WM_MOUSEMOVE, 0, point(5, 5));
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, point(5, 5));
    Recorder recorder(window);
    recorder.onDown = [&](MouseButton) {
        EXPECT_EQ(recorder.leaves, 0) << "left while the pointer was still over the window";
        SetCursorPos(600, 600);
    };
    recorder.closingTick = 10;
    EXPECT_EQ(play(desktop, recorder), 0);
    EXPECT_EQ(recorder.leaves, 1);
}

// A press must not outlive the pointer: when another window takes it while the left button, or
// the middle and the left, are held, the core hears it once, and releases that still come are not
// passed on.
TEST(Win32Window, APressWhoseCaptureIsTakenEndsOnceAndItsReleasesAreDropped) {
    Win32Desktop desktop(testTitle);
    desktop.setGeometry({40, 50, 26, 23});
    const HWND window = FindWindowA("TForm1", testTitle);
    const HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);

    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(3, 4));
    PostMessageA(window, WM_LBUTTONUP, 0, point(3, 4));
    PostMessageA(window, WM_MBUTTONDOWN, MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_LBUTTONUP, MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_MBUTTONUP, 0, point(12, 13));
    Recorder recorder(window);
    recorder.onDown = [&](MouseButton button) {
        if (button == MouseButton::left)
            SetCapture(other);
    };
    play(desktop, recorder);
    DestroyWindow(other);
    const std::vector<std::string> expected = {
        "activate",          "down 3,4 left",   "capture lost",
        "down 12,13 middle", "down 12,13 left", "capture lost",
    };
    EXPECT_EQ(recorder.events, expected);
}

// Builds the drop that Explorer hands over: a DROPFILES header, then the UTF-16 names, each
// ending in a NUL, and one more NUL at the end.
HDROP dropOf(POINT at, const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    list += L'\0';
    const std::size_t listBytes = list.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + listBytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = at;
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), listBytes);
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST(Win32Window, ADropDeliversItsFirstFileAtTheDropPoint) {
    Win32Desktop desktop(testTitle);
    desktop.setGeometry({40, 50, 244, 323});
    const HWND window = FindWindowA("TForm1", testTitle);
    ASSERT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0)
        << "Explorer drops nothing on a window that does not accept files";

    const HDROP drop = dropOf({14, 150}, {L"C:\\Пример\\notes.txt", L"C:\\other.txt"});
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    Recorder recorder(window);
    play(desktop, recorder);
    const std::vector<std::string> expected = {"activate", "drop 14,150 C:\\Пример\\notes.txt"};
    EXPECT_EQ(recorder.events, expected);
}

// The system port's call leaves the launch pending, and the failure comes back later through the
// window's message loop, naming the file and the system's reason as one clause (the error box
// adds the full stop).
TEST(Win32Window, ALaunchIsPendingAndItsFailureArrivesLaterThroughTheLoop) {
    testing::TemporaryFolder folder;
    const std::string missing = folder / "missing.exe";
    Win32Desktop desktop(testTitle);
    Win32System system(desktop.launchOutcomeReport());
    const HWND window = FindWindowA("TForm1", testTitle);
    Recorder recorder(window);
    recorder.closingTick = 100; // ten seconds for Wine's shell
    recorder.onActivate = [&] {
        EXPECT_EQ(system.launch(missing, folder.path()).state, LaunchOutcome::State::pending);
        recorder.events.push_back("returned");
    };
    play(desktop, recorder);

    const std::vector<std::string> expected = {"activate", "returned", "launch failed"};
    EXPECT_EQ(recorder.events, expected);
    const std::string prefix = missing + ": ";
    ASSERT_GT(recorder.failure.size(), prefix.size()) << recorder.failure;
    EXPECT_TRUE(recorder.failure.starts_with(prefix)) << recorder.failure;
    EXPECT_EQ(std::string(".\r\n ").find(recorder.failure.back()), std::string::npos)
        << recorder.failure;
}

// FormatMessage leaves inserts raw: the first names the file, the others go.
TEST(Win32Launch, TheSystemsTextGetsThePathForItsFirstInsertAndLosesTheOthers) {
    const std::string path = "C:\\Tools\\x.xyz";
    const struct {
        const char* text;
        std::string shown;
    } cases[] = {
        {"Bad EXE format for %1", "Bad EXE format for C:\\Tools\\x.xyz"},
        {"%1 is not a valid Win32 application",
         "C:\\Tools\\x.xyz is not a valid Win32 application"},
        {"The file %1!s! is in use", "The file C:\\Tools\\x.xyz is in use"},
        {"Access is denied", "C:\\Tools\\x.xyz: Access is denied"},
        {"Cannot run %2 on %3", "C:\\Tools\\x.xyz: Cannot run on"},
        {"Needs %2.", "C:\\Tools\\x.xyz: Needs."},
        {"100% sure, %0", "C:\\Tools\\x.xyz: 100% sure, %0"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(launchFailureText(path, text), shown) << text;
}

// The tips of this thread's windows: those the strip owns.
std::vector<HWND> windowsOwnedBy(HWND owner) {
    struct Search {
        HWND owner;
        std::vector<HWND> found;
    } search{owner, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            if (GetWindow(window, GW_OWNER) == search->owner)
                search->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(Win32Window, ATipShowsAtItsPlaceWithoutTakingTheFocusOrThePointer) {
    Win32Desktop desktop(testTitle);
    const HWND strip = FindWindowA("TForm1", testTitle);
    const HWND activeBefore = GetActiveWindow();

    desktop.showTip("notes", {300, 200});
    const std::vector<HWND> tips = windowsOwnedBy(strip);
    ASSERT_EQ(tips.size(), 1u);
    const HWND tip = tips.front();
    RECT shortTip{};
    GetWindowRect(tip, &shortTip);
    EXPECT_TRUE(IsWindowVisible(tip));
    EXPECT_EQ(shortTip.left, 300);
    EXPECT_EQ(shortTip.top, 200);
    EXPECT_EQ(GetActiveWindow(), activeBefore);
    EXPECT_NE(GetWindowLongPtrW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(SendMessageW(tip, WM_NCHITTEST, 0, MAKELPARAM(305, 205)), HTTRANSPARENT);

    // A new text replaces the old one in the same window, which fits it.
    desktop.showTip("C:\\Program Files\\Tools\\notes for the long winter.txt", {310, 220});
    EXPECT_EQ(windowsOwnedBy(strip), tips);
    RECT longTip{};
    GetWindowRect(tip, &longTip);
    EXPECT_EQ(longTip.left, 310);
    EXPECT_EQ(longTip.top, 220);
    EXPECT_GT(longTip.right - longTip.left, 3 * (shortTip.right - shortTip.left));
    EXPECT_EQ(longTip.bottom - longTip.top, shortTip.bottom - shortTip.top);
    // The size the core places the tip by is the size it shows at.
    EXPECT_EQ(desktop.tipSize("C:\\Program Files\\Tools\\notes for the long winter.txt"),
              (PixelSize{longTip.right - longTip.left, longTip.bottom - longTip.top}));

    desktop.hideTip();
    EXPECT_FALSE(IsWindowVisible(tip));
}

// The work area comes from the monitor nearest the rectangle, wherever the rectangle lies. Wine
// has one monitor, so every rectangle, on it, across its edge, far off it or at the ends of the
// coordinates, gets its work area.
TEST(Win32Window, TheWorkAreaIsThatOfTheMonitorNearestTheRectangle) {
    Win32Desktop desktop(testTitle);
    ASSERT_EQ(GetSystemMetrics(SM_CMONITORS), 1);
    RECT primary{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &primary, 0));
    const ScreenRect workArea{primary.left, primary.top, primary.right - primary.left,
                              primary.bottom - primary.top};
    ASSERT_GT(workArea.width, 0);
    for (const ScreenRect& area :
         {ScreenRect{300, 450, 26, 23}, ScreenRect{1270, -10, 26, 323},
          ScreenRect{-100000, 90000, 26, 23}, ScreenRect{INT_MAX - 10, INT_MIN, 244, 323}})
        EXPECT_EQ(desktop.workAreaNear(area), workArea) << area.left << "," << area.top;
}

// One strip per folder rests on the folder's mark: one for every spelling of a folder, another
// for another folder; and on finding the window that carries it.
TEST(OnePerFolder, EverySpellingOfAFolderHasOneMark) {
    testing::TemporaryFolder temporary;
    const std::string longName = temporary / "Dravix Strip Folder";
    ASSERT_TRUE(CreateDirectoryA(longName.c_str(), nullptr));
    const std::wstring folder(longName.begin(), longName.end());
    std::wstring capitals = folder;
    CharUpperBuffW(capitals.data(), static_cast<DWORD>(capitals.size()));
    wchar_t shortName[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(folder.c_str(), shortName, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortName), folder) << "no 8.3 name to compare";

    EXPECT_EQ(folderMark(capitals), folderMark(folder));
    EXPECT_EQ(folderMark(shortName), folderMark(folder));
    EXPECT_EQ(folderMark(folder + L"\\"), folderMark(folder));
    // The settings folder is claimed before the first save makes it.
    EXPECT_EQ(folderMark(folder + L"\\Not Yet\\"), folderMark(folder + L"\\Not Yet"));
    EXPECT_EQ(folderMark(std::wstring(shortName) + L"\\Not Yet"), folderMark(folder + L"\\Not Yet"))
        << "a short name on the way to a folder not made yet";
    const std::wstring parent(temporary.path().begin(), temporary.path().end());
    EXPECT_NE(folderMark(parent), folderMark(folder));
}

TEST(OnePerFolder, ALaterStartBringsTheStripOfItsFolderToTheFront) {
    const std::uint64_t mark = folderMark(L"C:\\Tools\\Dravix");
    Win32Desktop desktop(testTitle, mark);
    const HWND strip = FindWindowA("TForm1", testTitle);
    // Both stay hidden: Wine waits up to two seconds for a shown window to go when no window
    // manager is there to tell it.
    const HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);

    EXPECT_FALSE(bringStripToFront(folderMark(L"C:\\Tools\\Other"), 0));
    EXPECT_EQ(GetForegroundWindow(), other);
    EXPECT_TRUE(bringStripToFront(mark, 0));
    EXPECT_EQ(GetForegroundWindow(), strip);
    DestroyWindow(other);
}

// On a screen of 192 DPI, Windows's 200 %, every pixel of the program shows as a 2 x 2 block and
// the pointer comes back in the program's pixels. Wine's prefix of win32_desktop_test_192dpi has
// that density; elsewhere these tests skip.
class Win32DenseScreen : public ::testing::Test {
protected:
    void SetUp() override {
        const HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        if (dpi != 192)
            GTEST_SKIP() << "for a screen of 192 DPI; this one has " << dpi;
    }
};

// How many pixels at the window's top-left corner differ from a frame, whose every pixel has a
// colour of its own, enlarged `scale` times: every frame pixel a scale x scale block.
int pixelsOutsideTheirBlocks(HWND window, const Frame& frame, int scale) {
    const HDC dc = GetDC(window);
    int wrong = 0;
    for (int y = 0; y < frame.height * scale; ++y) {
        for (int x = 0; x < frame.width * scale; ++x) {
            const std::uint8_t* rgb = &frame.rgb[3 * ((y / scale) * frame.width + x / scale)];
            if (GetPixel(dc, x, y) != RGB(rgb[0], rgb[1], rgb[2]))
                ++wrong;
        }
    }
    ReleaseDC(window, dc);
    return wrong;
}

// The width of the window's small icon; 0 when it has none.
int smallIconSize(HWND window) {
    const auto icon = reinterpret_cast<HICON>(SendMessageA(window, WM_GETICON, ICON_SMALL, 0));
    ICONINFO parts{};
    if (icon == nullptr || !GetIconInfo(icon, &parts))
        return 0;
    BITMAP colours{};
    GetObjectA(parts.hbmColor, sizeof colours, &colours);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    return colours.bmWidth;
}

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The window shows the frame in 2 x 2 blocks and hands the pointer on in the program's pixels.
// Then comes WM_DPICHANGED, which Windows sends as the window moves onto a monitor of 288 DPI
// (Wine never does; the test sends it): the window takes the suggested place, but the size of the
// new whole factor rather than the suggested one, which scales by the ratio of the DPIs; it shows
// the frame again in 3 x 3 blocks, divides the pointer by 3 and has the small icon that Windows
// asks for there, 48 pixels.
TEST_F(Win32DenseScreen, ShowsBlocksTakesThePointerInTheProgramsPixelsAndFollowsTheMonitor) {
    Win32Desktop desktop(testTitle);
    ASSERT_EQ(desktop.scale(), 2);
    desktop.setGeometry({40, 50, 26, 23});
    const HWND window = FindWindowA("TForm1", testTitle);
    const RECT doubled = windowRect(window);
    EXPECT_EQ(doubled.left, 40);
    EXPECT_EQ(doubled.top, 50);
    EXPECT_EQ(doubled.right - doubled.left, 52);
    EXPECT_EQ(doubled.bottom - doubled.top, 46);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{40, 50, 26, 23}));

    // Each lands on the program pixel whose block holds it, also left of and above the window.
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, point(25, 23));
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, point(-1, -3));
    PostMessageA(window, WM_LBUTTONUP, 0, point(-4, -4));
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({51, 45}, {L"C:\\a.txt"})),
                 0);
    RECT suggested{300, 200, 300 + 80, 200 + 70};
    PostMessageA(window, WM_DPICHANGED, MAKEWPARAM(288, 288), reinterpret_cast<LPARAM>(&suggested));
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, point(5, 5));
    Frame frame{26, 23, {}};
    for (int pixel = 0; pixel < 26 * 23; ++pixel)
        frame.rgb.insert(frame.rgb.end(), {static_cast<std::uint8_t>(pixel),
                                           static_cast<std::uint8_t>(pixel >> 8), 77});
    int wrongDoubled = -1;
    int wrongTripled = -1;
    int scale = 0;
    WindowGeometry geometry;
    RECT tripled{};
    int smallIcon = 0;
    Recorder recorder(window);
    recorder.onActivate = [&] {
        desktop.present(frame);
        wrongDoubled = pixelsOutsideTheirBlocks(window, frame, 2);
    };
    recorder.onDown = [&](MouseButton button) {
        if (button != MouseButton::right)
            return;
        scale = desktop.scale();
        geometry = desktop.geometry();
        tripled = windowRect(window);
        wrongTripled = pixelsOutsideTheirBlocks(window, frame, 3);
        smallIcon = smallIconSize(window);
    };
    play(desktop, recorder);
    EXPECT_EQ(wrongDoubled, 0);
    const std::vector<std::string> expected = {
        "activate",      "down 12,11 left",      "move -1,-2 captured",
        "up -2,-2 left", "drop 25,22 C:\\a.txt", "down 1,1 right",
    };
    EXPECT_EQ(recorder.events, expected);

    EXPECT_EQ(scale, 3);
    EXPECT_EQ(geometry, (WindowGeometry{300, 200, 26, 23}));
    EXPECT_EQ(tripled.right - tripled.left, 78);
    EXPECT_EQ(tripled.bottom - tripled.top, 69);
    EXPECT_EQ(wrongTripled, 0);
    EXPECT_EQ(smallIcon, 48);
}

} // namespace
} // namespace dravix::win32
