// dravix.exe under Wine, driven like a user through XTest: where the window appears and what it
// shows, the slide, a launch through the shell, a file dropped from a file manager, the open-file
// dialog while a slide goes on, the arrow keys and the exit, and folders with names beyond the
// ANSI code page. Each test runs its own copy of the program in a temporary folder.

#include "assets/picture_store.h"
#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"
#include "tests/support/x11/xdnd_source.h"

#include "platform/x11/x11_properties.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

namespace dravix::e2e {
namespace {

// Where the first start moves the toggle, before any error box shows, so that the open strip is
// whole on the screen.
constexpr Geometry closedBelowCreationPlace{196, 300, 26, 23};
// Well inside the screen, so that the open strip, 300 pixels higher, is whole on it too.
constexpr Geometry closedAtStoredPlace{300, 450, 26, 23};
constexpr int slotButtonLeft = 4;

// The Windows name of a Linux path: Wine's drive Z: is the root folder.
std::string windowsPath(const std::filesystem::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// The size x size image of the window's _NET_WM_ICON, where Wine puts the window class's icons,
// as 0xAARRGGBB values row by row; empty when there is none of that size.
std::vector<unsigned long> windowIcon(Window window, int size) {
    Display* display = xServer().display();
    const std::vector<long> values = x11::cardinals(
        display, window, XInternAtom(display, "_NET_WM_ICON", False), 1 << 20, XA_CARDINAL);
    // Each image is its width, its height and its pixels.
    for (std::size_t at = 0; at + 2 <= values.size();) {
        const auto width = static_cast<unsigned long>(values[at]);
        const auto height = static_cast<unsigned long>(values[at + 1]);
        const unsigned long pixels = width * height;
        if (at + 2 + pixels > values.size())
            break;
        if (width == static_cast<unsigned long>(size) && height == width)
            return {values.begin() + at + 2, values.begin() + at + 2 + pixels};
        at += 2 + pixels;
    }
    return {};
}

class WineTest : public DravixTest {
protected:
    // Clicks the middle of slot button N of the open window.
    void clickSlot(int slot, Button button) {
        clickAt(slotButtonLeft + 10, slotButtonTops[slot] + 6, button);
    }

    // Clicks the toggle of the closed window and waits for the open strip to settle.
    ::testing::AssertionResult openStrip(Milliseconds timeout = windowTimeout) {
        const std::optional<Geometry> closed = mainGeometry();
        if (!closed)
            return ::testing::AssertionFailure() << "the main window is gone";
        clickAt(toggleX, toggleY, Button::left);
        const Geometry open{closed->left, closed->top - 300, 244, 323};
        if (::testing::AssertionResult reached = waitForGeometry(open, timeout); !reached)
            return reached;
        return waitForImage(openFrame(), "open");
    }

    // The windows of this run other than the main window (dialogs and boxes).
    std::vector<Window> otherWindows() {
        std::vector<Window> others;
        for (Window window : app.allWindows()) {
            const std::optional<Geometry> geometry = x().geometry(window);
            if (window != main && geometry && geometry->width > 50 && geometry->height > 50)
                others.push_back(window);
        }
        return others;
    }

    // The window that a window manager keeps this one above and with (WM_TRANSIENT_FOR), where
    // Wine names the owner of a box or dialog; None when it has none.
    Window ownerOf(Window window) {
        Window owner = None;
        XGetTransientForHint(x().display(), window, &owner);
        return owner;
    }

    void typeInto(Window window, const std::string& text) {
        x().focus(window);
        for (char character : text)
            x().tapKey(character == '.' ? XK_period : static_cast<unsigned long>(character));
    }
};

using StartUp = WineTest;

TEST_F(StartUp, ShowsTheClosedToggleAtTheStoredPlaceWithTheProgramIcon) {
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());

    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(app.windows().size(), 1u) << "an error box? " << app.describeWindows();

    // The icon is the closed toggle in the middle of a transparent 32 x 32 tile.
    const std::vector<unsigned long> icon = windowIcon(main, 32);
    ASSERT_EQ(icon.size(), 32u * 32u) << "no 32 x 32 icon on the window";
    const Picture& toggle = storePicture("k1");
    const int left = (32 - toggle.width()) / 2;
    const int top = (32 - toggle.height()) / 2;
    int wrong = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const unsigned long shown = icon[static_cast<std::size_t>(y * 32 + x)] & 0xffffffffUL;
            const int px = x - left;
            const int py = y - top;
            unsigned long expected = 0;
            if (px >= 0 && px < toggle.width() && py >= 0 && py < toggle.height()) {
                const Rgb colour = toggle.pixel(px, py);
                expected = 0xff000000UL | (static_cast<unsigned long>(colour.red) << 16) |
                           (static_cast<unsigned long>(colour.green) << 8) | colour.blue;
            }
            // Fully transparent pixels carry no colour worth comparing.
            if (shown != expected && !((expected >> 24) == 0 && (shown >> 24) == 0))
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "icon pixels that differ from the toggle on a transparent tile";
}

TEST_F(StartUp, WithoutStoredFilesShowsTheErrorBoxOverADisabledWindow) {
    startWith(std::nullopt, std::nullopt);

    ASSERT_TRUE(waitForMainWindow(closedBelowCreationPlace));
    const std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "no error box titled \"Dravix\"; " << app.describeWindows();
    EXPECT_EQ(ownerOf(*box), main);

    // The box disables its owner: a press on the toggle does nothing meanwhile.
    clickAt(toggleX, toggleY, Button::left);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(mainGeometry(), closedBelowCreationPlace);

    dismissErrorBox(*box);
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout))
        << "the error box did not close; " << app.describeWindows();
    EXPECT_TRUE(waitForImage(closedFrame(), "closed"));
    EXPECT_TRUE(app.running());
    EXPECT_FALSE(app.readFile("dravix.ini")) << "reading creates nothing";
    EXPECT_FALSE(app.readFile("dravix.dat"));
}

// Makes the harness put the run's folder inside a folder named Пример: TMPDIR names it while
// the run's folder is made. A base class of the fixture, so that it comes first.
class InsideACyrillicFolder {
protected:
    InsideACyrillicFolder()
        : outer_(std::filesystem::temp_directory_path() /
                 ("dravix-e2e-cyrillic-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(outer_ / "Пример");
        if (const char* previous = std::getenv("TMPDIR"))
            previous_ = previous;
        setenv("TMPDIR", (outer_ / "Пример").c_str(), 1);
    }
    ~InsideACyrillicFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(outer_, ignored);
    }

    void restoreTemporaryFolder() {
        if (previous_)
            setenv("TMPDIR", previous_->c_str(), 1);
        else
            unsetenv("TMPDIR");
    }

private:
    std::filesystem::path outer_;
    std::optional<std::string> previous_;
};

class FromACyrillicFolder : public InsideACyrillicFolder, public WineTest {
protected:
    FromACyrillicFolder() { restoreTemporaryFolder(); }
};

// Names that Windows' ANSI code page cannot spell (Wine's is 1252 here): the program finds its
// stored files in a folder inside Пример, starts a slot's batch file in its folder 日本 there,
// and saves its place on the way out.
TEST_F(FromACyrillicFolder, FindsItsFilesStartsAFileInAJapaneseFolderAndSaves) {
    ASSERT_NE(app.folder().string().find("/Пример/"), std::string::npos) << app.folder();
    const std::filesystem::path tools = app.folder() / "日本";
    std::filesystem::create_directory(tools);
    // The console switched to UTF-8 writes the working folder's name as it is.
    writeTextFile(tools / "tool.bat", "@chcp 65001 > nul\r\n@cd > started-in.txt\r\n");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left),
              slotList({{5, {windowsPath(tools / "tool.bat"), "tool"}}}));
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(app.windows().size(), 1u) << "an error box? " << app.describeWindows();

    tapKey(XK_Down);
    const Geometry moved{closedAtStoredPlace.left, closedAtStoredPlace.top + 1, 26, 23};
    ASSERT_TRUE(waitForGeometry(moved));

    ASSERT_TRUE(openStrip());
    clickSlot(5, Button::left);
    std::optional<std::string> folder;
    EXPECT_TRUE(waitUntil(
        [&] {
            folder = readTextFile(tools / "started-in.txt");
            return folder && folder->ends_with("\r\n");
        },
        windowTimeout))
        << "the batch file did not run in its folder";
    EXPECT_EQ(folder, windowsPath(tools) + "\r\n");
    ASSERT_TRUE(waitForGeometry(moved));

    clickAt(toggleX, toggleY, Button::right);
    const std::optional<int> status = app.waitForExit(changeTimeout);
    ASSERT_TRUE(status) << "the program did not end; " << app.describeWindows();
    EXPECT_EQ(describeWaitStatus(*status), "exited with status 0");
    EXPECT_EQ(app.readFile("dravix.ini"), positionFile(moved.top, moved.left));
}

using Strip = WineTest;

// The pointer's place while the window moves under it: every step lands the strip exactly where
// the pointer went, also a jump far outside the small window, and the release ends the drag.
TEST_F(Strip, AMiddleDragMovesTheClosedStripWithThePointer) {
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(waitForImage(closedFrame(), "closed"));

    hoverAt(toggleX, toggleY);
    x().pressButton(Button::middle);
    const int pressX = closedAtStoredPlace.left + toggleX;
    const int pressY = closedAtStoredPlace.top + toggleY;
    // Quick steps, one after the other as a hand makes them, while the window follows.
    for (int step = 1; step <= 30; ++step)
        x().movePointer(pressX + 3 * step, pressY + 2 * step);
    Geometry expected{closedAtStoredPlace.left + 90, closedAtStoredPlace.top + 60, 26, 23};
    EXPECT_TRUE(waitForGeometry(expected)) << "after the steps";
    x().movePointer(pressX + 400, pressY + 150);
    expected = {closedAtStoredPlace.left + 400, closedAtStoredPlace.top + 150, 26, 23};
    EXPECT_TRUE(waitForGeometry(expected)) << "after the jump";
    x().releaseButton(Button::middle);

    x().movePointer(pressX + 300, pressY + 100);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(mainGeometry(), expected) << "the strip moved after the release";
    EXPECT_TRUE(waitForImage(closedFrame(), "closed-after-drag"));
}

TEST_F(Strip, ALeftClickOpensItWithinTwoSecondsAndAnotherClosesIt) {
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(waitForImage(closedFrame(), "closed"));

    ASSERT_TRUE(openStrip(2000ms));

    clickAt(toggleX, openToggleTop + toggleY, Button::left);
    EXPECT_TRUE(waitForGeometry(closedAtStoredPlace));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed-again"));
}

using Slots = WineTest;

// The slot's file is a batch file that writes the folder it runs in; Wine's shell starts it
// with cmd. The folder's name has a space, as many Windows folders do.
TEST_F(Slots, ALeftClickStartsTheFileThroughTheShellInItsOwnFolder) {
    const std::filesystem::path tools = app.folder() / "my tools";
    std::filesystem::create_directory(tools);
    const std::filesystem::path report = app.folder() / "started-in.txt";
    writeTextFile(tools / "where.bat", "@cd > \"" + windowsPath(report) + "\"\r\n");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left),
              slotList({{2, {windowsPath(tools / "where.bat"), "where"}}}));
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(openStrip());

    // Pointing at the slot spells its name: the moves reach the window.
    hoverAt(slotButtonLeft + 10, slotButtonTops[2] + 6);
    EXPECT_TRUE(waitForImage(openFrame({"bw", "bh", "be", "br", "be", "space"}), "hover"));

    clickSlot(2, Button::left);
    std::optional<std::string> folder;
    EXPECT_TRUE(waitUntil(
        [&] {
            folder = readTextFile(report);
            return folder && folder->ends_with("\r\n");
        },
        windowTimeout))
        << "the batch file did not run";
    EXPECT_EQ(folder, windowsPath(tools) + "\r\n");
    // The strip closes after the launch.
    EXPECT_TRUE(waitForGeometry(closedAtStoredPlace));
}

// The shell refuses a file it cannot run on the launch's own thread: the box comes, and the strip
// stays open under it and after it.
TEST_F(Slots, AFileTheShellCannotStartShowsABoxAndTheStripStaysOpen) {
    writeTextFile(app.folder() / "garbled.xyz", "not a program");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left),
              slotList({{3, {windowsPath(app.folder() / "garbled.xyz"), "garbled"}}}));
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(openStrip());
    const Geometry open{closedAtStoredPlace.left, closedAtStoredPlace.top - 300, 244, 323};

    clickSlot(3, Button::left);
    ASSERT_TRUE(waitUntil([&] { return !otherWindows().empty(); }, windowTimeout))
        << "no error box; " << app.describeWindows();
    EXPECT_TRUE(waitForGeometry(open));
    x().focus(otherWindows().front());
    x().tapKey(XK_Return);
    ASSERT_TRUE(waitUntil([&] { return otherWindows().empty(); }, windowTimeout))
        << "the box did not close; " << app.describeWindows();
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(waitForGeometry(open)) << "the strip closed after the failure";
}

// A left press holds the pointer for its slot: the release far outside the window still reaches
// the slot, which then starts its file.
TEST_F(Slots, ALeftReleaseOutsideTheWindowStillLaunchesThePressedSlot) {
    const std::filesystem::path report = app.folder() / "started.txt";
    writeTextFile(app.folder() / "mark.bat", "@echo started> \"" + windowsPath(report) + "\"\r\n");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left),
              slotList({{7, {windowsPath(app.folder() / "mark.bat"), "mark"}}}));
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(openStrip());

    hoverAt(slotButtonLeft + 10, slotButtonTops[7] + 6);
    x().pressButton(Button::left);
    hoverAt(600, 20); // to the right of the open strip
    x().releaseButton(Button::left);
    EXPECT_TRUE(waitUntil([&] { return readTextFile(report) == "started\r\n"; }, windowTimeout))
        << "the release did not reach the slot";
    EXPECT_TRUE(waitForGeometry(closedAtStoredPlace));
}

// Wine takes the XDND drop of a file manager and hands the strip a WM_DROPFILES with the file's
// Windows name.
TEST_F(Slots, AFileDroppedOnASlotIsAssignedToIt) {
    const std::filesystem::path dropped = app.folder() / "dropped notes.txt";
    writeTextFile(dropped, "x");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(openStrip());

    const std::string uri = "file://" + (app.folder() / "dropped%20notes.txt").string() + "\r\n";
    const x11test::DropOutcome outcome = x11test::dropOn(
        x(), main, closedAtStoredPlace.left + slotButtonLeft + 10,
        closedAtStoredPlace.top - 300 + slotButtonTops[4] + 6, "text/uri-list", uri);
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(waitUntil(
        [&] {
            return app.readFile("dravix.dat") ==
                   slotList({{4, {windowsPath(dropped), "dropped notes"}}});
        },
        changeTimeout))
        << "dravix.dat holds: " << app.readFile("dravix.dat").value_or("(nothing)");
}

// Another program holds the list at the start: its failure shows, the strip still rests at its
// stored place, and an assignment while the list is held is refused, the list byte for byte as it
// was. Once the other program lets go, the next assignment keeps the slot the list had.
TEST_F(Slots, AListHeldByAnotherProgramAtTheStartSurvivesTheNextAssignment) {
    const char* holder = std::getenv("DRAVIX_HOLD_FILE");
    ASSERT_TRUE(holder != nullptr) << "DRAVIX_HOLD_FILE names no program that holds a file";
    const std::filesystem::path dropped = app.folder() / "dropped.txt";
    writeTextFile(dropped, "x");
    const std::string list = slotList({{1, {"C:\\Tools\\kept.exe", "kept"}}});
    app.writeFile("dravix.dat", list);
    app.writeFile("dravix.ini", positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left));
    int release[2];
    ASSERT_EQ(::pipe(release), 0);
    x11test::ProcessOptions options;
    options.argv = {"wine", holder, windowsPath(app.folder() / "dravix.dat")};
    options.input.descriptor = release[0];
    options.output.path = (app.folder() / "hold.txt").string();
    x11test::ChildProcess hold(options);
    ::close(release[0]);
    ASSERT_TRUE(waitUntil(
        [&] { return readTextFile(app.folder() / "hold.txt").value_or("").find("held") == 0; },
        std::chrono::seconds(30)))
        << readTextFile(app.folder() / "hold.txt").value_or("(nothing)");

    app.start();
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "the held list said nothing; " << app.describeWindows();
    dismissErrorBox(*box);
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout));
    ASSERT_TRUE(openStrip());
    const auto dropOnSlot4 = [&] {
        const std::string uri = "file://" + dropped.string() + "\r\n";
        return x11test::dropOn(x(), main, closedAtStoredPlace.left + slotButtonLeft + 10,
                               closedAtStoredPlace.top - 300 + slotButtonTops[4] + 6,
                               "text/uri-list", uri)
            .finished;
    };
    EXPECT_TRUE(dropOnSlot4());
    box = waitForErrorBox();
    ASSERT_TRUE(box) << "the refused save said nothing; " << app.describeWindows();
    dismissErrorBox(*box);
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout));
    ::close(release[1]);
    ASSERT_TRUE(hold.waitForExit(windowTimeout));
    EXPECT_EQ(app.readFile("dravix.dat"), list);

    EXPECT_TRUE(dropOnSlot4());
    const std::string both =
        slotList({{1, {"C:\\Tools\\kept.exe", "kept"}}, {4, {windowsPath(dropped), "dropped"}}});
    EXPECT_TRUE(waitUntil([&] { return app.readFile("dravix.dat") == both; }, changeTimeout))
        << "dravix.dat holds: " << app.readFile("dravix.dat").value_or("(nothing)");
}

// A right click on a slot while the strip still opens: the open-file dialog comes up, and under it
// the timer keeps the slide going to its end. The name typed into the dialog becomes the slot's.
// (Once the close began, a slot takes no press at all.)
TEST_F(Slots, TheFileDialogLetsTheSlideGoOnAndItsChoiceIsSaved) {
    writeTextFile(app.elsewhere() / "notes.txt", "x");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));

    // The slots are in place once the window begins to widen, three ticks before the slide ends:
    // the right click follows at once.
    clickAt(toggleX, toggleY, Button::left);
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::optional<Geometry> now = mainGeometry();
            return now && now->height == 323 && now->width > 26;
        },
        windowTimeout));
    clickSlot(0, Button::right);
    std::optional<Window> dialog;
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<Window> others = otherWindows();
            if (!others.empty())
                dialog = others.front();
            return dialog.has_value();
        },
        windowTimeout))
        << "no file dialog; " << app.describeWindows();
    EXPECT_EQ(ownerOf(*dialog), main);
    const Geometry open{closedAtStoredPlace.left, closedAtStoredPlace.top - 300, 244, 323};
    EXPECT_TRUE(waitForGeometry(open)) << "the slide stopped under the dialog";
    EXPECT_TRUE(x().geometry(*dialog)) << "the dialog closed before the slide ended";

    // The dialog starts in the program's working folder, where notes.txt lies.
    typeInto(*dialog, "notes.txt");
    x().tapKey(XK_Return);
    ASSERT_TRUE(waitUntil([&] { return otherWindows().empty(); }, changeTimeout))
        << "the dialog did not close";
    const std::string chosen = windowsPath(app.elsewhere() / "notes.txt");
    EXPECT_TRUE(waitUntil(
        [&] {
            return app.readFile("dravix.dat") == slotList({{0, {chosen, "notes"}}});
        },
        changeTimeout))
        << "dravix.dat holds: " << app.readFile("dravix.dat").value_or("(nothing)");
}

using OnePerFolder = WineTest;

// Starts one more copy of the program from the folder of `run` through wine-exe.sh, as
// DravixProcess::start does.
std::unique_ptr<x11test::ChildProcess> startAnotherCopy(DravixProcess& run) {
    x11test::ProcessOptions options;
    options.argv = {std::getenv("DRAVIX_E2E_WRAPPER"), (run.folder() / "dravix").string()};
    options.environment = x11test::environmentWith({{"HOME", run.elsewhere().string()}});
    options.folder = run.elsewhere();
    return std::make_unique<x11test::ChildProcess>(options);
}

// A second start from the folder of a running strip ends at once with status 0, before it reads
// or writes anything: the slot list it would miss is gone by then. The running strip opens, and
// a digit starts its slot. A copy in another folder runs beside the first. (Without a window
// manager Wine shows no change of the foreground on the X side; the backend's own test checks
// that the strip comes to the front.)
TEST_F(OnePerFolder, ASecondStartOpensTheRunningStripWhoseDigitsStartSlotsAndAnotherFolderRuns) {
    ASSERT_NE(std::getenv("DRAVIX_E2E_WRAPPER"), nullptr) << "started without wine-exe.sh";
    const std::filesystem::path report = app.folder() / "started.txt";
    writeTextFile(app.folder() / "two.bat", "@echo two> \"" + windowsPath(report) + "\"\r\n");
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left),
              slotList({{2, {windowsPath(app.folder() / "two.bat"), "two"}}}));
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));

    DravixProcess elsewhere;
    const Geometry otherPlace{700, 500, 26, 23};
    elsewhere.writeFile("dravix.ini", positionFile(otherPlace.top, otherPlace.left));
    elsewhere.writeFile("dravix.dat", emptySlotList());
    elsewhere.start();
    ASSERT_TRUE(elsewhere.waitForWindow([&](const Geometry& g) { return g == otherPlace; }))
        << "the copy in another folder did not run; " << elsewhere.describeWindows();

    std::filesystem::remove(app.folder() / "dravix.dat");
    const std::unique_ptr<x11test::ChildProcess> second = startAnotherCopy(app);
    const std::optional<int> status = second->waitForExit(windowTimeout);
    ASSERT_TRUE(status) << "the second copy runs on; " << app.describeWindows();
    EXPECT_EQ(describeWaitStatus(*status), "exited with status 0");
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(elsewhere.running());
    const Geometry open{closedAtStoredPlace.left, closedAtStoredPlace.top - 300, 244, 323};
    EXPECT_TRUE(waitForGeometry(open)) << "the running strip did not open";
    EXPECT_EQ(elsewhere.windows().size(), 1u);

    tapKey(XK_2);
    EXPECT_TRUE(
        waitUntil([&] { return readTextFile(report).value_or("").ends_with("\n"); }, windowTimeout))
        << "the digit did not start slot 2";
    EXPECT_EQ(readTextFile(report), "two\r\n");
    EXPECT_TRUE(waitForGeometry(closedAtStoredPlace)) << "the strip did not close after the start";
    EXPECT_FALSE(app.readFile("dravix.dat")) << "the second copy wrote the slot list";
    EXPECT_EQ(app.readFile("dravix.ini"),
              positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left));
}

using Keyboard = WineTest;

TEST_F(Keyboard, ArrowKeysMoveTheWindowAndTheRightClickSavesThePlaceAndEnds) {
    startWith(positionFile(closedAtStoredPlace.top, closedAtStoredPlace.left), emptySlotList());
    ASSERT_TRUE(waitForMainWindow(closedAtStoredPlace));
    ASSERT_TRUE(waitForImage(closedFrame(), "closed"));

    Geometry expected = closedAtStoredPlace;
    struct Step {
        unsigned long key;
        int dx;
        int dy;
    };
    for (const Step& step : {Step{XK_Down, 0, 1}, Step{XK_Right, 1, 0}, Step{XK_Up, 0, -1},
                             Step{XK_Up, 0, -1}, Step{XK_Left, -1, 0}, Step{XK_Left, -1, 0}}) {
        tapKey(step.key);
        expected.left += step.dx;
        expected.top += step.dy;
        ASSERT_TRUE(waitForGeometry(expected)) << "after key " << step.key;
    }

    clickAt(toggleX, toggleY, Button::right);
    const std::optional<int> status = app.waitForExit(changeTimeout);
    ASSERT_TRUE(status) << "the program did not end; " << app.describeWindows();
    EXPECT_EQ(describeWaitStatus(*status), "exited with status 0");
    EXPECT_EQ(app.readFile("dravix.ini"), positionFile(expected.top, expected.left));
    EXPECT_EQ(app.readFile("dravix.dat"), emptySlotList()) << "the slot list is not rewritten";
}

} // namespace
} // namespace dravix::e2e
