// The sliding strip: left presses on the toggle open and close it, keeping the toggle in place
// on the screen, and presses during a slide are ignored.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

#include <thread>

namespace dravix::e2e {
namespace {

// Where the toggle is pressed in the closed and in the open window.
constexpr int closedToggleY = toggleY;
constexpr int openToggleY = openToggleTop + toggleY;

// Within two seconds: 7 ticks of 100 ms, with room for a busy machine.
constexpr Milliseconds slideTimeout = 2000ms;

Geometry openedFrom(const Geometry& closed) {
    return {closed.left, closed.top - 300, 244, 323};
}

class Strip : public DravixTest {
protected:
    // Starts with the window low enough on the screen for the open strip to be wholly visible.
    void SetUp() override {
        startWith(positionFile(600, 300), emptySlotList());
        const std::optional<Geometry> geometry = waitForMainWindowSized(26, 23);
        ASSERT_TRUE(geometry);
        closed = *geometry;
        ASSERT_TRUE(waitForImage(closedFrame(), "closed-at-start"));
    }

    Geometry closed;
};

TEST_F(Strip, LeftClicksOpenItUpwardAndCloseItBackToTheSamePlace) {
    clickAt(toggleX, closedToggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(openedFrom(closed), slideTimeout));
    EXPECT_TRUE(waitForImage(openFrame(), "open"));

    clickAt(toggleX, openToggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(closed, slideTimeout));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed"));

    // Again from the slot panel's resting place at the bottom, not its creation place.
    clickAt(toggleX, closedToggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(openedFrom(closed), slideTimeout));
    EXPECT_TRUE(waitForImage(openFrame(), "reopened"));

    clickAt(toggleX, openToggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(closed, slideTimeout));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed-again"));
    EXPECT_TRUE(app.running());
}

TEST_F(Strip, PressesOnTheToggleWhileItClosesAreIgnored) {
    clickAt(toggleX, closedToggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(openedFrom(closed), slideTimeout));
    clickAt(toggleX, openToggleY, Button::left);

    // Once the width has started to shrink the slide is under way, and about half a second of it
    // (two more narrowing ticks and the lowering) remains.
    std::optional<Geometry> now;
    ASSERT_TRUE(waitUntil(
        [&] {
            now = mainGeometry();
            return now && now->width < 244;
        },
        slideTimeout))
        << "the strip did not start closing; " << app.describeWindows();
    ASSERT_EQ(now->left, closed.left);
    ASSERT_EQ(now->top, closed.top - 300) << "the close ended before the presses could be made";

    // A left press taken as an open press would lift the window another 300 pixels; a right
    // press taken as the exit would end the program.
    clickAt(toggleX, openToggleY, Button::left);
    clickAt(toggleX, openToggleY, Button::right);

    ASSERT_TRUE(waitForGeometry(closed, slideTimeout));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(mainGeometry(), closed);
    EXPECT_TRUE(sameImage(screenshot(), closedFrame(), "closed"));
    EXPECT_TRUE(app.running());
    EXPECT_EQ(app.readFile("dravix.ini"), positionFile(600, 300));
}

} // namespace
} // namespace dravix::e2e
