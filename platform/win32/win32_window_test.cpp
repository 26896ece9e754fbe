// The window's messages as the core receives them: the desktop runs its real message loop on a
// window of its own while the test posts input to it.

#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include <gtest/gtest.h>

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

// Writes down every event but the ticks, which it counts; the third tick closes the window.
class Recorder : public WindowEvents {
public:
    explicit Recorder(HWND window) : window_(window) {}

    void activate() override { events.push_back("activate"); }
    void mouseDown(int x, int y, MouseButton button) override {
        events.push_back(describe("down", x, y) + " " + nameOf(button));
    }
    // The real pointer may move over the window meanwhile; only the posted move is kept.
    void mouseMove(int x, int y) override {
        if (x < 0)
            events.push_back(describe("move", x, y));
    }
    void mouseUp(int x, int y, MouseButton button) override {
        events.push_back(describe("up", x, y) + " " + nameOf(button));
    }
    void keyDown(int virtualKey) override { events.push_back("key " + std::to_string(virtualKey)); }
    void tick() override {
        if (++ticks == 3)
            PostMessageA(window_, WM_CLOSE, 0, 0);
    }

    std::vector<std::string> events;
    int ticks = 0;

private:
    static std::string describe(const char* what, int x, int y) {
        return std::string(what) + " " + std::to_string(x) + "," + std::to_string(y);
    }

    HWND window_;
};

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
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, point(-5, -7)); // captured, left of and above
    PostMessageA(window, WM_LBUTTONUP, 0, point(-5, -7));
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, point(10, 11));
    PostMessageA(window, WM_RBUTTONUP, 0, point(10, 11));
    PostMessageA(window, WM_MBUTTONDOWN, MK_MBUTTON, point(12, 13));
    PostMessageA(window, WM_MBUTTONUP, 0, point(12, 13));
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 1);
    PostMessageA(window, WM_KEYDOWN, VK_LEFT, 1 | (1 << 30));    // a repeat of a held key
    PostMessageA(window, WM_SYSKEYDOWN, VK_DOWN, 1 | (1 << 29)); // with Alt

    Recorder recorder(window);
    EXPECT_EQ(desktop.run(recorder), 0);
    const std::vector<std::string> expected = {
        "activate",
        "down 3,4 left",
        "move -5,-7",
        "up -5,-7 left",
        "down 10,11 right",
        "up 10,11 right",
        "down 12,13 middle",
        "up 12,13 middle",
        "key 37",
        "key 37",
        "key 40",
    };
    EXPECT_EQ(recorder.events, expected);
    EXPECT_EQ(recorder.ticks, 3);
}

} // namespace
} // namespace dravix::win32
