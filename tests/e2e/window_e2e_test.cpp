// The window at start: its place, size and picture, the presses that must do nothing, and the
// error box of a first start.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

namespace dravix::e2e {
namespace {

// Where the first start moves the toggle so that the open strip is whole on the screen.
constexpr Geometry closedBelowCreationPlace{196, 300, 26, 23};
constexpr Geometry closedAtStoredPlace{196, 532, 26, 23};

using StartUp = DravixTest;

// The start also waits for few replies from the server before its first frame: a bare Xlib
// window waits for three while its display opens (the resources and the keyboard extension), and
// the program for at most five more, counted by the reply-wait counter where the build has one.
TEST_F(StartUp, WithBothStoredFilesShowsOnlyTheClosedToggleAtTheStoredPlace) {
#ifdef DRAVIX_REPLY_WAITS
    const std::filesystem::path waitsFile = app.elsewhere().parent_path() / "reply-waits";
    app.setEnvironment("LD_PRELOAD", DRAVIX_REPLY_WAITS);
    app.setEnvironment("DRAVIX_REPLY_WAITS_FILE", waitsFile.string());
#endif
    startWith(positionFile(532, 196), emptySlotList());

    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed"));
#ifdef DRAVIX_REPLY_WAITS
    int waits = -1;
    std::ifstream(waitsFile) >> waits;
    EXPECT_GE(waits, 3) << "no count, or fewer waits than Xlib's own";
    EXPECT_LE(waits, 8);
    std::filesystem::remove(waitsFile);
#endif
    // Had the start-up load failed, its error box would be up by the time the frame is drawn;
    // a short grace covers a box that is still being mapped.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(app.windows().size(), 1u) << app.describeWindows();
    EXPECT_TRUE(app.running());
}

// Where no X server can be reached (a text console, ssh without X forwarding), the program says
// so in one line that names the display it tried, and ends with an error status.
TEST_F(StartUp, WithoutAnXDisplaySaysSoInOneLineAndEndsWithAnError) {
    const std::string needs = " Dravix needs an X11 or XWayland desktop session.\n";
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, "dravix: cannot open the X display: DISPLAY is not set." + needs},
        {":999", "dravix: cannot open the X display \":999\"." + needs},
    };
    for (const auto& [display, expected] : cases) {
        SCOPED_TRACE(display.value_or("DISPLAY unset"));
        if (display)
            app.setEnvironment("DISPLAY", *display);
        else
            app.unsetEnvironment("DISPLAY");
        app.start();
        const std::optional<int> status = app.waitForExit(windowTimeout);
        ASSERT_TRUE(status) << "dravix still runs";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) != 0) << describeWaitStatus(*status);
        EXPECT_EQ(app.errorOutput(), expected);
    }
}

TEST_F(StartUp, WithNeitherStoredFileShowsOneErrorBoxAndThenTheToggleWhereTheStripFits) {
    startWith(std::nullopt, std::nullopt);

    // The start-up places the toggle where the open strip fits before the box shows, so the main
    // window is told apart by its place and closed size.
    ASSERT_TRUE(waitForMainWindow(closedBelowCreationPlace));
    const std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "no error box; " << app.describeWindows();
    EXPECT_EQ(app.windows().size(), 2u) << app.describeWindows();
    const std::optional<Geometry> boxGeometry = x().geometry(*box);
    ASSERT_TRUE(boxGeometry);
    EXPECT_FALSE(boxGeometry->width == 26 && boxGeometry->height == 23)
        << "the second window has the toggle's size: " << describe(*boxGeometry);

    dismissErrorBox(*box);

    // Only the slot list's failure is shown: no second box follows for the position file.
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout))
        << "the error box did not close; " << app.describeWindows();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(app.windows().size(), 1u) << app.describeWindows();
    EXPECT_TRUE(waitForGeometry(closedBelowCreationPlace));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed"));
    EXPECT_TRUE(app.running());
    // Reading creates nothing.
    EXPECT_FALSE(app.readFile("dravix.ini"));
    EXPECT_FALSE(app.readFile("dravix.dat"));
}

using DeadPresses = DravixTest;

// Presses that reach no handler: the toggle's rightmost column lies under the information panel,
// which handles nothing, and a middle click on the toggle is a drag that goes nowhere.
TEST_F(DeadPresses, LeaveTheWindowTheProgramAndTheFilesAsTheyWere) {
    startWith(positionFile(532, 196), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(waitForImage(closedFrame(), "closed"));

    struct Press {
        const char* what; // also names the screenshot files of a failure
        int x;
        int y;
        Button button;
    };
    for (const Press& press : {Press{"left-on-rightmost-column", 25, 11, Button::left},
                               Press{"right-on-rightmost-column", 25, 3, Button::right},
                               Press{"middle-on-toggle", toggleX, toggleY, Button::middle}}) {
        SCOPED_TRACE(press.what);
        clickAt(press.x, press.y, press.button);
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(app.running());
        EXPECT_EQ(mainGeometry(), closedAtStoredPlace);
        EXPECT_TRUE(sameImage(screenshot(), closedFrame(), press.what));
        EXPECT_EQ(app.windows().size(), 1u) << app.describeWindows();
    }
    EXPECT_EQ(app.readFile("dravix.ini"), positionFile(532, 196));
    EXPECT_EQ(app.readFile("dravix.dat"), emptySlotList());
}

} // namespace
} // namespace dravix::e2e
