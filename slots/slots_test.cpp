#include "slots/slot_buttons.h"
#include "slots/slot_paths.h"
#include "slots/slot_tip.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dravix {
namespace {

using testing::CoreFixture;
using testing::emptySlotList;
using testing::Point;
using testing::slotListWith;

TEST(SlotPaths, WorkingFolderIsEverythingUpToTheLastSeparator) {
    EXPECT_EQ(workingFolderOf("/home/me/page.html", '/'), "/home/me/");
    EXPECT_EQ(workingFolderOf("/apps/my.tool.exe", '/'), "/apps/");
    EXPECT_EQ(workingFolderOf("/usr/bin/make", '/'), "/usr/bin/");
    EXPECT_EQ(workingFolderOf("prog", '/'), "");
    EXPECT_EQ(workingFolderOf("", '/'), "");
    EXPECT_EQ(workingFolderOf("C:\\Tools\\prog.exe", '\\'), "C:\\Tools\\");
    EXPECT_EQ(workingFolderOf("C:\\Web\\page.html", '\\'), "C:\\Web\\");
    EXPECT_EQ(workingFolderOf("C:\\a/b\\c.txt", '\\'), "C:\\a/b\\");
}

TEST(SlotPaths, DisplayNameIsTheLastComponentBeforeItsFirstDot) {
    EXPECT_EQ(displayNameOf("C:\\Tools\\prog.exe", '\\'), "prog");
    EXPECT_EQ(displayNameOf("C:\\Apps\\my.tool.exe", '\\'), "my");
    EXPECT_EQ(displayNameOf("C:\\bin\\make", '\\'), "make");
    EXPECT_EQ(displayNameOf("C:\\my.dir\\make", '\\'), "make");
    EXPECT_EQ(displayNameOf("C:\\dir\\name.", '\\'), "name");
    EXPECT_EQ(displayNameOf("C:\\home\\.profile", '\\'), "");
    EXPECT_EQ(displayNameOf("prog.exe", '\\'), "prog");
    EXPECT_EQ(displayNameOf("C:\\a/b.c\\d/e.f", '\\'), "d/e") << "a slash is ordinary there";
    EXPECT_EQ(displayNameOf("/home/me/notes.v2.txt", '/'), "notes");
    EXPECT_EQ(displayNameOf("/home/me/dir/", '/'), "");
    EXPECT_EQ(displayNameOf("/opt/caf\xc3\xa9.sh", '/'), "caf\xc3\xa9") << "bytes kept as given";
}

class SlotButtonsTest : public CoreFixture {
protected:
    void SetUp() override {
        start(slotListWith(4, existing("/home/me/tools/my.tool.sh"), "my"));
        openStrip();
    }
    const std::string slotListPath = "/opt/dravix/dravix.dat";
};

TEST_F(SlotButtonsTest, EveryButtonShowsItsPressedPictureWhileHeld) {
    for (MouseButton button : {MouseButton::left, MouseButton::right, MouseButton::middle}) {
        for (int slot = 0; slot < 10; ++slot) {
            const std::string name = "kn" + std::to_string(slot);
            press(name, button);
            EXPECT_EQ(&pictureShownBy(name), &storePicture("kk2" + std::to_string(slot)));
            EXPECT_EQ(&pictureShownBy(name == "kn0" ? "kn1" : "kn0"),
                      &storePicture(name == "kn0" ? "kk1" : "kk0"))
                << "other slots keep their pictures";
            desktop.queueDialogAnswer(std::nullopt);
            release(name, button);
            EXPECT_EQ(&pictureShownBy(name), &storePicture("kk" + std::to_string(slot)));
            if (button == MouseButton::left) {
                tickUntilSettled();
                openStrip();
            }
        }
    }
}

TEST_F(SlotButtonsTest, LeftReleaseStartsTheFileInItsFolderAndClosesTheStrip) {
    click("kn4");
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, "/home/me/tools/my.tool.sh");
    EXPECT_EQ(desktop.launches()[0].workingFolder, "/home/me/tools/");
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
    EXPECT_EQ(form->strip().widthPhase(), WidthPhase::narrowing);
    EXPECT_EQ(&pictureShownBy("ProcBMP"), &storePicture("k1"));
}

// Once the close began, a press on a slot is no new intent: it shows nothing and starts nothing.
TEST_F(SlotButtonsTest, APressAfterTheCloseBeganStartsNothing) {
    click("ProcBMP");
    tickTimes(4); // narrowed, and the slot panel has begun to sink
    press("kn4");
    EXPECT_EQ(&pictureShownBy("kn4"), &storePicture("kk4"));
    tickUntilSettled();
    ASSERT_EQ(desktop.geometry(), (WindowGeometry{196, 532, 26, 23}));
    form->mouseUp(300, 300, MouseButton::left);
    tickTimes(10);
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 532, 26, 23}));
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
}

// A double click starts once: the second click comes after the close began, or, for a start the
// system answers later, while the first is pending; a digit likewise. An answer frees the slot.
TEST_F(SlotButtonsTest, ADoubleClickStartsOnce) {
    click("kn4");
    click("kn4");
    EXPECT_EQ(desktop.launches().size(), 1u);

    tickUntilSettled();
    openStrip();
    desktop.answerLaunchesLater(true);
    click("kn4");
    click("kn4");
    form->keyDown('4');
    EXPECT_EQ(desktop.launches().size(), 2u);
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
    form->launchFailed("/home/me/tools/my.tool.sh: No terminal");
    click("kn4");
    EXPECT_EQ(desktop.launches().size(), 3u) << "answered, the slot starts again";
    form->launchStarted();
    tickUntilSettled();
    openStrip();
    click("kn4");
    EXPECT_EQ(desktop.launches().size(), 4u) << "a start answered as started frees it too";
}

TEST_F(SlotButtonsTest, EmptySlotStartsNothingButClosesTheStrip) {
    click("kn7");
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
}

TEST_F(SlotButtonsTest, MiddleClickOnlyChangesPictures) {
    click("kn4", MouseButton::middle);
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_TRUE(desktop.dialogInitialNames().empty());
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
}

TEST_F(SlotButtonsTest, LongPathsArePassedWhole) {
    const std::string folder = "/" + std::string(300, 'd') + "/";
    desktop.queueDialogAnswer(existing(folder + "x.bin"));
    click("kn1", MouseButton::right);
    click("kn1");
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, folder + "x.bin");
    EXPECT_EQ(desktop.launches()[0].workingFolder, folder);
}

TEST_F(SlotButtonsTest, AssignmentKeepsPathAndNameAndSavesAllTenSlots) {
    desktop.queueDialogAnswer("/srv/media/Holiday Film.mkv");
    click("kn2", MouseButton::right);
    EXPECT_EQ(desktop.dialogInitialNames(), std::vector<std::string>{""});
    EXPECT_EQ(form->slotRecords()[2].path, "/srv/media/Holiday Film.mkv");
    EXPECT_EQ(form->slotRecords()[2].name, "Holiday Film");

    std::string expected;
    for (int slot = 0; slot < 10; ++slot) {
        if (slot == 2)
            expected += "/srv/media/Holiday Film.mkv\r\nHoliday Film\r\n";
        else if (slot == 4)
            expected += "/home/me/tools/my.tool.sh\r\nmy\r\n";
        else
            expected += "\r\n\r\n";
    }
    EXPECT_EQ(desktop.files()[slotListPath], expected);
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open) << "the strip stays open";
}

TEST_F(SlotButtonsTest, DialogOpensWithTheLastChosenNameSharedBySlots) {
    desktop.queueDialogAnswer("/a/first.txt");
    click("kn0", MouseButton::right);
    desktop.queueDialogAnswer(std::nullopt);
    click("kn9", MouseButton::right);
    EXPECT_EQ(desktop.dialogInitialNames(), (std::vector<std::string>{"", "/a/first.txt"}));
}

TEST_F(SlotButtonsTest, CancelledDialogChangesNothingAndWritesNothing) {
    const std::string before = desktop.files()[slotListPath];
    int writes = 0;
    desktop.setFaultInjector([&](FileOperation operation, const std::string&) {
        writes += operation == FileOperation::replace;
        return FileStatus{};
    });
    desktop.queueDialogAnswer(std::nullopt);
    click("kn4", MouseButton::right);
    EXPECT_EQ(form->slotRecords()[4].path, "/home/me/tools/my.tool.sh");
    EXPECT_EQ(form->slotRecords()[4].name, "my");
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(desktop.files()[slotListPath], before);
}

// From the dialog or from a drop alike.
TEST_F(SlotButtonsTest, PathThatCannotBeStoredIsRefusedWithAClearError) {
    const std::string before = desktop.files()[slotListPath];
    const std::string paths[] = {"/tmp/evil\nname", "/tmp/cr\rname", "/tmp/eof\x1aname",
                                 std::string("/tmp/nul\0name", 13)};
    for (const std::string& path : paths) {
        desktop.queueDialogAnswer(path);
        click("kn4", MouseButton::right);
        const Point slot = centreOf("kn4");
        form->fileDropped(slot.x, slot.y, path);
    }
    ASSERT_EQ(desktop.errors().size(), 2 * std::size(paths));
    for (const std::string& error : desktop.errors())
        EXPECT_EQ(
            error,
            "A path with a line break, a NUL byte or a Ctrl-Z byte cannot be kept in a slot.");
    EXPECT_EQ(form->slotRecords()[4].path, "/home/me/tools/my.tool.sh");
    EXPECT_EQ(desktop.files()[slotListPath], before);
}

TEST_F(SlotButtonsTest, UnusualCharactersAreStoredAndStartedByteForByte) {
    const std::string path = "/tmp/-rf; $(x) \"q\" 'a'/\xff\xfe name.sh";
    desktop.queueDialogAnswer(existing(path));
    click("kn6", MouseButton::right);
    click("kn6");
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, path);
    EXPECT_EQ(form->slotRecords()[6].name, "\xff\xfe name");
    EXPECT_NE(desktop.files()[slotListPath].find(path + "\r\n\xff\xfe name\r\n"),
              std::string::npos);
}

TEST_F(SlotButtonsTest, WindowsSeparatorCutsFolderAndName) {
    desktop.setPathSeparator('\\');
    desktop.queueDialogAnswer(existing("C:\\Web\\page.html"));
    click("kn3", MouseButton::right);
    click("kn3");
    EXPECT_EQ(form->slotRecords()[3].name, "page");
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].workingFolder, "C:\\Web\\");
}

TEST_F(SlotButtonsTest, AssignedSlotSurvivesARestart) {
    desktop.queueDialogAnswer("/usr/bin/gimp");
    click("kn8", MouseButton::right);
    form.reset();
    start(std::nullopt, std::nullopt); // the files are on the fake disk already
    EXPECT_EQ(form->slotRecords()[8].path, "/usr/bin/gimp");
    EXPECT_EQ(form->slotRecords()[8].name, "gimp");
}

// A slot that cannot start says why and stays open for another try.
TEST_F(SlotButtonsTest, ALaunchThatCannotHappenIsReportedAndTheStripStaysOpen) {
    desktop.files().erase("/home/me/tools/my.tool.sh");
    click("kn4");
    desktop.queueDialogAnswer(existing("/home/me/locked.sh"));
    click("kn2", MouseButton::right);
    desktop.failLaunchesWith("Permission denied");
    click("kn2");
    desktop.failLaunchesWith(std::nullopt);
    const std::string withNul("/bin/true\0 --not-this", 21);
    start(slotListWith(7, existing(withNul), "true"));
    openStrip();
    click("kn7");

    EXPECT_EQ(desktop.errors(),
              (std::vector<std::string>{"File not found.", "/home/me/locked.sh: Permission denied.",
                                        "A path with a NUL byte cannot be started."}));
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
}

// The strip closes once the system has taken the launch, whenever it answers; a failure leaves
// it open with its box. The test delivers a late answer as a window backend does.
TEST_F(SlotButtonsTest, TheStripClosesOnceTheLaunchIsTakenAndStaysOpenWhenItFails) {
    enum class Answer { none, started, failed };
    const std::string tool = "/home/me/tools/my.tool.sh";
    const auto closed = PanelOpen::closed;
    const auto open = PanelOpen::open;
    const struct {
        const char* what;
        bool pending;
        std::optional<std::string> failsAtOnce;
        bool byKey;
        bool closedAndReopened; // by the toggle, before the answer
        Answer answer;
        PanelOpen panelOpen;
        std::vector<std::string> errors;
    } cases[] = {
        // clang-format off
        {"started at once", false, std::nullopt, false, false, Answer::none, closed, {}},
        {"failed at once", false, "Permission denied", false, false, Answer::none, open,
         {tool + ": Permission denied."}},
        {"pending, no answer yet", true, std::nullopt, false, false, Answer::none, open, {}},
        {"pending, then started", true, std::nullopt, false, false, Answer::started, closed, {}},
        {"pending by its key, then started", true, std::nullopt, true, false, Answer::started,
         closed, {}},
        {"pending, then failed", true, std::nullopt, false, false, Answer::failed, open,
         {tool + ": No terminal."}},
        {"pending, the strip closed and reopened, then started", true, std::nullopt, false, true,
         Answer::started, open, {}},
        // clang-format on
    };
    for (const auto& step : cases) {
        SCOPED_TRACE(step.what);
        start(slotListWith(4, existing(tool), "my"));
        openStrip();
        const std::size_t errorsBefore = desktop.errors().size();
        desktop.answerLaunchesLater(step.pending);
        desktop.failLaunchesWith(step.failsAtOnce);
        if (step.byKey)
            form->keyDown('4');
        else
            click("kn4");
        if (step.closedAndReopened) {
            click("ProcBMP");
            tickUntilSettled();
            click("ProcBMP");
            tickUntilSettled();
        }
        if (step.answer == Answer::started)
            form->launchStarted();
        if (step.answer == Answer::failed)
            form->launchFailed(tool + ": No terminal");
        EXPECT_EQ(form->strip().panelOpen(), step.panelOpen);
        EXPECT_EQ(std::vector<std::string>(desktop.errors().begin() + errorsBefore,
                                           desktop.errors().end()),
                  step.errors);
    }
}

// A launch released after the strip has closed, answered late, leaves the strip where it is.
TEST_F(SlotButtonsTest, ALateStartAfterTheStripClosedLeavesTheWindowInPlace) {
    desktop.answerLaunchesLater(true);
    click("kn4");
    click("ProcBMP");
    tickUntilSettled();
    form->launchStarted();
    tickTimes(10);
    EXPECT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 532, 26, 23}));
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
}

// The left press captured the pointer for slot 5: the right click assigns slot 1 and the left
// release over slot 1 still belongs to slot 5.
TEST_F(SlotButtonsTest, MixedButtonsActOnTheirOwnSlots) {
    start(slotListWith(5, existing("/usr/bin/five"), "five"));
    openStrip();
    press("kn5");
    desktop.queueDialogAnswer("/usr/bin/one");
    click("kn1", MouseButton::right);
    release("kn1");
    EXPECT_EQ(form->slotRecords()[1].path, "/usr/bin/one");
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, "/usr/bin/five");
}

TEST_F(SlotButtonsTest, ALostCaptureEndsThePressWithoutALaunch) {
    for (const int slot : {4, 0}) {
        const std::string button = "kn" + std::to_string(slot);
        press(button);
        form->captureLost();
        EXPECT_EQ(&pictureShownBy(button), &storePicture("kk" + std::to_string(slot)));
        release(button);
        tickTimes(10);
        EXPECT_TRUE(desktop.launches().empty());
        EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
    }
}

TEST_F(SlotButtonsTest, AFileDroppedOnASlotIsAssignedAsAChoiceWouldBe) {
    const Point slot = centreOf("kn2");
    form->fileDropped(slot.x, slot.y, "/home/me/Notes 2025.txt");
    EXPECT_EQ(form->slotRecords()[2].name, "Notes 2025");
    EXPECT_NE(desktop.files()[slotListPath].find("/home/me/Notes 2025.txt\r\nNotes 2025\r\n"),
              std::string::npos);
    const Point cell = centreOf("w1");
    form->fileDropped(cell.x, cell.y, "/elsewhere.txt");
    form->fileDropped(slot.x, slot.y, "/bad\nname");
    EXPECT_EQ(form->slotRecords()[2].name, "Notes 2025");
    EXPECT_EQ(desktop.errors().size(), 1u) << "the path that cannot be kept is refused";
    const Point first = centreOf("kn0");
    form->fileDropped(first.x, first.y, "/first.txt");
    EXPECT_EQ(form->slotRecords()[0].name, "first");
}

TEST_F(SlotButtonsTest, Resting0Point7SecondsOnASlotShowsItsFullPathBesideTheStrip) {
    hover("kn4");
    tickTimes(6);
    EXPECT_FALSE(desktop.tip());
    tick();
    ASSERT_TRUE(desktop.tip());
    EXPECT_EQ(desktop.tip()->text, "/home/me/tools/my.tool.sh");
    const WindowGeometry window = desktop.geometry();
    EXPECT_GT(desktop.tip()->at.left, window.left + window.width) << "never over the strip";
    hover("kn4");
    EXPECT_TRUE(desktop.tip()) << "a move inside the slot keeps it";
    hover("w1");
    EXPECT_FALSE(desktop.tip()) << "gone when the pointer leaves the slot";
    hover("kn4");
    tickTimes(6);
    EXPECT_FALSE(desktop.tip()) << "the rest starts again on coming back";

    hover("kn3");
    tickTimes(10);
    EXPECT_FALSE(desktop.tip()) << "an empty slot has no tip";
    hover("kn4");
    tickTimes(7);
    press("kn4");
    EXPECT_FALSE(desktop.tip()) << "gone on any press";
    release("kn4"); // launches, and the strip starts to close
    tickTimes(10);
    EXPECT_FALSE(desktop.tip());
}

// Wherever the strip rests and however long the path, the tip lies whole on the work area beside
// the strip with its file name; it goes when the pointer leaves and stays away under a box or the
// dialog. The fake's font is 7 pixels a character with 4 pixels on each side.
TEST_F(SlotButtonsTest, TheTipIsWholeOnTheWorkAreaBesideTheStripAndGoesWhenItShould) {
    const std::string folders = "/home/me/" + std::string(600, 'd') + "/";
    std::string accents; // two bytes a character
    for (int i = 0; i < 300; ++i)
        accents += "\xc3\xa9";
    enum class Then { rests, leaves, boxComes, dialogComes };
    constexpr int middle = 196, rightEdge = 1280 - 244;
    const struct {
        const char* what;
        int left; // the toggle's Left
        std::string path;
        Then then;
        bool onTheRight;
        std::string keeps; // the end of the path the tip keeps
        int room;          // for a shortened path, the width it must fill but for a character
    } cases[] = {
        {"short", middle, "/home/me/notes.txt", Then::rests, true, "/home/me/notes.txt", 0},
        {"long folders", middle, folders + "notes.txt", Then::rests, true, "/notes.txt", 836},
        {"at the right edge", rightEdge, "/home/me/notes.txt", Then::rests, false, "", 0},
        {"long, at the right edge", rightEdge, folders + "n.txt", Then::rests, false, "/n.txt",
         1032},
        {"a name longer than the screen", middle, "/a/" + std::string(400, 'n') + ".txt",
         Then::rests, true, ".txt", 836},
        {"accented folders", middle, "/" + accents + "/x.txt", Then::rests, true, "/x.txt", 836},
        {"the pointer leaves", middle, "/home/me/notes.txt", Then::leaves, true, "", 0},
        {"a box comes", middle, "/home/me/notes.txt", Then::boxComes, true, "", 0},
        {"the dialog comes", middle, "/home/me/notes.txt", Then::dialogComes, true, "", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        desktop.startNewProcess();
        start(slotListWith(4, row.path, "x"), "532\r\n" + std::to_string(row.left) + "\r\n");
        openStrip();
        hover("kn4");
        tickTimes(SlotTip::restTicks);
        ASSERT_TRUE(desktop.tip());
        const FakeWindow::Tip tip = *desktop.tip();
        const PixelSize size = desktop.tipSize(tip.text);
        const WindowGeometry strip = desktop.geometry();
        EXPECT_GE(tip.at.left, 0);
        EXPECT_GE(tip.at.top, 0);
        EXPECT_LE(tip.at.left + size.width, 1280);
        EXPECT_LE(tip.at.top + size.height, 1024);
        if (row.onTheRight)
            EXPECT_GE(tip.at.left, strip.left + strip.width);
        else
            EXPECT_LE(tip.at.left + size.width, strip.left);
        EXPECT_TRUE(tip.text.ends_with(row.keeps)) << tip.text;
        if (row.room == 0) {
            EXPECT_EQ(tip.text, row.path);
        } else {
            EXPECT_NE(tip.text.find("..."), std::string::npos) << tip.text;
            EXPECT_GT(size.width, row.room - FakeWindow::tipCharacterWidth) << tip.text;
        }
        EXPECT_EQ(std::count(tip.text.begin(), tip.text.end(), '\xc3'),
                  std::count(tip.text.begin(), tip.text.end(), '\xa9'))
            << "a character cut in two";

        bool tipUnderModal = false;
        desktop.setWhileModal([&] {
            tickTimes(2 * SlotTip::restTicks);
            tipUnderModal = desktop.tip().has_value();
        });
        switch (row.then) {
        case Then::rests:
            continue;
        case Then::leaves:
            form->pointerLeft();
            EXPECT_FALSE(desktop.tip());
            tickTimes(2 * SlotTip::restTicks);
            break;
        case Then::boxComes:
            form->launchFailed("/home/me/notes.txt: Bad EXE format");
            EXPECT_EQ(desktop.errors().size(), 1u);
            break;
        case Then::dialogComes:
            desktop.queueDialogAnswer(std::nullopt);
            click("kn4", MouseButton::right);
            EXPECT_EQ(desktop.dialogInitialNames().size(), 1u);
            break;
        }
        desktop.setWhileModal({});
        EXPECT_FALSE(tipUnderModal);
        EXPECT_FALSE(desktop.tip());
    }
}

// The tip on its own numbers: 4 pixels from the strip, cut to its side's room, on the left only
// when the right is too narrow, over the strip when the roomier side has less than a third of the
// work area, held on the work area at its top and bottom. A 10-pixel font, the work area from
// (100, 30) to (1304, 800).
TEST(TipLayout, KeepsItsGapCutsToItsRoomAndIsHeldOnTheWorkArea) {
    const ScreenRect workArea{100, 30, 1204, 770};
    const auto measure = [](const std::string& text) {
        return PixelSize{10 * static_cast<int>(text.size()), 20};
    };
    const auto path = [](int characters) {
        return std::string("/").append(characters - 7, 'd').append("/n.txt");
    };
    const struct {
        const char* what;
        int stripLeft, stripWidth, characters, rowTop;
        Place at;
        int kept; // characters shown
    } cases[] = {
        {"fits the right exactly, held at the bottom", 404, 246, 65, 781, {654, 780}, 65},
        {"one more is cut on the right, at the bottom", 404, 246, 66, 780, {654, 780}, 65},
        {"fits the left exactly, held at the top", 1004, 246, 90, 10, {100, 30}, 90},
        {"one more is cut on the left, at the top", 1004, 246, 91, 30, {100, 30}, 90},
        {"a third of the work area on the roomier side", 505, 394, 100, 779, {903, 779}, 40},
        {"a pixel less: over the strip", 504, 396, 100, 31, {100, 31}, 100},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const TipLayout tip =
            layOutTip(path(row.characters), '/', {row.stripLeft, 300, row.stripWidth, 323},
                      row.rowTop, workArea, measure);
        EXPECT_EQ(tip.at, row.at);
        EXPECT_EQ(static_cast<int>(tip.text.size()), row.kept) << tip.text;
        EXPECT_TRUE(tip.text.ends_with("/n.txt")) << tip.text;
        EXPECT_EQ(tip.text.find("...") != std::string::npos, row.kept < row.characters);
    }

    // A character wider than the ellipsis is taken alone when that is enough: 660 pixels of path,
    // a 50-pixel W in the middle of its folders, 650 of room.
    const auto wideW = [](const std::string& text) {
        const auto wide = std::count(text.begin(), text.end(), 'W');
        return PixelSize{static_cast<int>(10 * text.size() + 40 * wide), 20};
    };
    const std::string half(27, 'd');
    EXPECT_EQ(layOutTip("/" + half + "W" + half + "/n.txt", '/', {404, 300, 246, 323}, 400,
                        workArea, wideW)
                  .text,
              "/" + half + "..." + half + "/n.txt");
    // Where cutting the folders is not enough, the whole path is cut in its middle.
    const std::string longName = std::string("/d/").append(80, 'n');
    const std::string cut = std::string("/d/").append(28, 'n').append("...").append(31, 'n');
    EXPECT_EQ(layOutTip(longName, '/', {404, 300, 246, 323}, 400, workArea, measure).text, cut);
}

} // namespace
} // namespace dravix
