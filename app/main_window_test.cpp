#include "app/main_window.h"

#include "app/core_fixture.h"
#include "app/pointer_router.h"

#include <gtest/gtest.h>

namespace dravix {
namespace {

using testing::CoreFixture;
using testing::emptySlotList;
using testing::frameShows;
using testing::slotListWith;

class StartUp : public CoreFixture {};

TEST_F(StartUp, CreatedAtCreationGeometryThenClosedAtTheStoredPosition) {
    desktop.putFileInExecutableFolder("dravix.ini", "400\r\n200\r\n");
    desktop.putFileInExecutableFolder("dravix.dat", slotListWith(3, "/bin/ls", "ls"));
    form = std::make_unique<TForm1>(desktop, desktop);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 132, 563, 333}));
    form->mouseMove(5, 5);
    form->tick();
    EXPECT_EQ(desktop.frameCount(), 0) << "nothing is shown before the first activation";

    form->activate();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{200, 400, 26, 23}));
    EXPECT_EQ(form->slotRecords()[3].path, "/bin/ls");
    EXPECT_EQ(form->position().ft, "400");
    EXPECT_EQ(form->position().fl, "200");
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_TRUE(frameShows(desktop.lastFrame(), 0, 0, storePicture("k1"), 0, 25));
}

// Reading never writes: not a byte-order mark away, not a place the strip was moved from.
TEST_F(StartUp, LeavesBothStoredFilesByteForByteAsTheyWere) {
    int replaces = 0;
    desktop.setFaultInjector([&](FileOperation operation, const std::string&) {
        replaces += operation == FileOperation::replace;
        return FileStatus{};
    });
    const std::string slots = "\xEF\xBB\xBF" + slotListWith(2, "/bin/ls", "ls") + "extra\r\n";
    const std::string position = "  100\r\nabc\r\n";
    start(slots, position);
    EXPECT_EQ(form->slotRecords()[2].name, "ls");
    EXPECT_EQ(replaces, 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.dat"), slots);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), position);
}

TEST_F(StartUp, RunsOnceWhateverActivatesTheWindowLater) {
    start();
    desktop.files().clear();
    const auto changes = desktop.geometryChanges().size();
    form->activate();
    form->activate();
    EXPECT_EQ(desktop.geometryChanges().size(), changes);
    EXPECT_TRUE(desktop.errors().empty()) << "the missing files are not read again";
}

// The creation place would put the open strip's top 168 pixels above the screen.
TEST_F(StartUp, FirstStartWithoutFilesShowsOneBoxAndTheToggleBelowItsCreationPlace) {
    start(std::nullopt, std::nullopt);
    ASSERT_EQ(desktop.errors().size(), 1u);
    EXPECT_EQ(desktop.errors()[0], "File not found.");
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 300, 26, 23}));
    EXPECT_EQ(form->position().ft, "300") << "the exit saves where the strip really is";
    for (const SlotRecord& record : form->slotRecords())
        EXPECT_TRUE(record.path.empty() && record.name.empty());
}

// Quitting before any slot was assigned saves the empty slot list with the place, so the next
// start shows no box and puts the strip where it was left.
TEST_F(StartUp, APlaceSavedBeforeAnySlotIsWhereTheNextStartPutsTheStrip) {
    start(std::nullopt, std::nullopt);
    ASSERT_EQ(desktop.errors(), std::vector<std::string>{"File not found."});
    for (int nudge = 0; nudge < 3; ++nudge)
        form->keyDown(vkRight);
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.dat"), emptySlotList());
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "300\r\n199\r\n");

    form.reset();
    desktop.startNewProcess();
    start(std::nullopt, std::nullopt);
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{199, 300, 26, 23}));
}

// Each stored file on its own: a list that cannot be read shows its box, and the strip still
// rests at its stored place, which the exit then keeps.
TEST_F(StartUp, PositionFileIsReadWhenTheSlotListFailed) {
    desktop.setFaultInjector([&](FileOperation operation, const std::string& path) {
        return operation == FileOperation::read && path.ends_with("dravix.dat")
                   ? FileStatus{FileFailure::inUse, 32}
                   : FileStatus{};
    });
    start(slotListWith(1, "/bin/ls", "ls"), std::string("400\r\n200\r\n"));
    EXPECT_EQ(desktop.errors(), std::vector<std::string>{"File in use by another program."});
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{200, 400, 26, 23}));
    EXPECT_EQ(form->position().ft, "400");
}

TEST_F(StartUp, SlotsAreKeptWhenOnlyThePositionFileIsMissing) {
    start(slotListWith(0, "/usr/bin/xterm", "xterm"), std::nullopt);
    ASSERT_EQ(desktop.errors().size(), 1u);
    EXPECT_EQ(desktop.errors()[0], "File not found.");
    EXPECT_EQ(form->slotRecords()[0].name, "xterm");
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 300, 26, 23}));
}

TEST(ErrorBoxText, AddsAFullStopAfterCharactersThatSortAfterIt) {
    EXPECT_EQ(errorBoxText("File not found"), "File not found.");
    EXPECT_EQ(errorBoxText("I/O error 5"), "I/O error 5.");
    EXPECT_EQ(errorBoxText("Done."), "Done.");
    EXPECT_EQ(errorBoxText("Really!"), "Really!");
    EXPECT_EQ(errorBoxText("Ends in -"), "Ends in -");
    EXPECT_EQ(errorBoxText(""), "");
    EXPECT_EQ(errorBoxText("caf\xc3\xa9"), "caf\xc3\xa9.");
}

class ErrorDisplay : public CoreFixture {};

TEST_F(ErrorDisplay, FailedHandlerKeepsWhatItChangedAndTheProgramGoesOn) {
    start();
    openStrip();
    desktop.setFaultInjector([](FileOperation operation, const std::string&) {
        return operation == FileOperation::replace ? FileStatus{FileFailure::accessDenied, 13}
                                                   : FileStatus{};
    });
    desktop.queueDialogAnswer("/home/me/notes.txt");
    // What the handler changed before it failed (the released button) is shown under the box.
    std::vector<std::size_t> framesAtModal;
    desktop.setWhileModal([&] { framesAtModal.push_back(desktop.frameCount()); });
    click("kn2", MouseButton::right);
    ASSERT_EQ(framesAtModal.size(), 2u) << "the dialog, then the box";
    EXPECT_EQ(framesAtModal[1], framesAtModal[0] + 1);
    ASSERT_EQ(desktop.errors().size(), 1u);
    EXPECT_EQ(desktop.errors()[0], "File access denied.");
    EXPECT_EQ(form->slotRecords()[2].name, "") << "the strip shows what is stored";

    desktop.setFaultInjector(nullptr);
    click("ProcBMP");
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed) << "later events are handled as usual";
}

TEST_F(ErrorDisplay, SlideGoesOnBehindTheBox) {
    start();
    click("ProcBMP");
    tickTimes(2);
    desktop.setFaultInjector([](FileOperation, const std::string&) {
        return FileStatus{FileFailure::other, 28};
    });
    desktop.setWhileModal([&] { tickUntilSettled(); });
    desktop.queueDialogAnswer("/srv/app.bin");
    click("kn0", MouseButton::right); // the slot panel is still rising
    ASSERT_EQ(desktop.errors(), std::vector<std::string>{"I/O error 28."});
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 232, 244, 323}));
    EXPECT_EQ(desktop.lastFrame().width, 244);
}

TEST_F(ErrorDisplay, FailedExitShowsTheErrorAndKeepsRunning) {
    start();
    desktop.setFaultInjector([](FileOperation operation, const std::string&) {
        return operation == FileOperation::replace ? FileStatus{FileFailure::pathNotFound, 3}
                                                   : FileStatus{};
    });
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.errors(), std::vector<std::string>{"Invalid filename."});
    EXPECT_FALSE(desktop.exitStatus());
    desktop.setFaultInjector(nullptr);
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.exitStatus(), 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "532\r\n196\r\n");
}

// Only a press still held has a capture to lose.
TEST(PointerRouter, ALostCaptureEndsOnlyAPressStillHeld) {
    PointerRouter router;
    router.down(5, MouseButton::left);
    EXPECT_EQ(router.up(5, MouseButton::left), 5);
    EXPECT_EQ(router.cancel(), noElement) << "released: nothing to cancel";
    router.down(7, MouseButton::left);
    EXPECT_EQ(router.cancel(), 7);
    EXPECT_EQ(router.up(7, MouseButton::left), noElement) << "the release after the loss";
}

class PointerCapture : public CoreFixture {
protected:
    void SetUp() override {
        start(slotListWith(5, existing("/opt/tool/run"), "run"));
        openStrip();
    }
};

TEST_F(PointerCapture, LeftPressKeepsThePointerForThePressedSlotUntilTheRelease) {
    press("kn5");
    hover("kn1");
    EXPECT_EQ(form->glyphs().shownSlot(), 6) << "moves go to the pressed slot";
    form->mouseUp(-500, 900, MouseButton::left); // released far outside the window
    ASSERT_EQ(desktop.launches().size(), 1u);
    EXPECT_EQ(desktop.launches()[0].path, "/opt/tool/run");
    EXPECT_EQ(&pictureShownBy("kn5"), &storePicture("kk5"));
}

TEST_F(PointerCapture, RightReleaseActsOnTheSlotUnderThePointer) {
    press("kn5", MouseButton::right);
    hover("kn1");
    EXPECT_EQ(form->glyphs().shownSlot(), 2) << "a right press captures nothing";
    desktop.queueDialogAnswer(std::nullopt);
    release("kn1", MouseButton::right);
    EXPECT_EQ(desktop.dialogInitialNames().size(), 1u);
    EXPECT_EQ(&pictureShownBy("kn5"), &storePicture("kk25")) << "stays pressed";
    EXPECT_EQ(&pictureShownBy("kn1"), &storePicture("kk1"));
}

TEST_F(PointerCapture, PressesOutsideHandledElementsDoNothing) {
    const auto frames = desktop.frameCount();
    const auto changes = desktop.geometryChanges().size();
    for (auto [x, y] : {std::pair{100, 100}, std::pair{2, 5}, std::pair{10, 250}}) {
        for (MouseButton button : {MouseButton::left, MouseButton::right, MouseButton::middle}) {
            form->mouseDown(x, y, button);
            form->mouseUp(x, y, button);
        }
    }
    EXPECT_EQ(desktop.frameCount(), frames);
    EXPECT_EQ(desktop.geometryChanges().size(), changes);
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_TRUE(desktop.dialogInitialNames().empty());
}

TEST_F(PointerCapture, LeftPressOnBackgroundCapturesSoTheReleaseOnASlotDoesNothing) {
    form->mouseDown(1, 1, MouseButton::left);
    release("kn5");
    EXPECT_TRUE(desktop.launches().empty());
}

class Presentation : public CoreFixture {};

TEST_F(Presentation, IdleTicksComposeNothing) {
    start();
    const int frames = desktop.frameCount();
    tickTimes(20);
    EXPECT_EQ(desktop.frameCount(), frames);
}

class StoredFolder : public CoreFixture {
protected:
    static constexpr const char* settings = "/home/me/.config/dravix/";

    void saveSlotAndQuit() {
        openStrip();
        desktop.queueDialogAnswer("/usr/bin/gimp");
        click("kn1", MouseButton::right);
        press("ProcBMP", MouseButton::right);
    }
};

TEST_F(StoredFolder, AWritableProgramFolderKeepsTheFilesBesideTheProgram) {
    start(std::nullopt, std::nullopt);
    saveSlotAndQuit();
    EXPECT_TRUE(desktop.files().contains("/opt/dravix/dravix.dat"));
    EXPECT_TRUE(desktop.files().contains("/opt/dravix/dravix.ini"));
}

TEST_F(StoredFolder, AnInstalledProgramKeepsThemInTheUsersSettingsFolder) {
    desktop.makeFolderReadOnly("/opt/dravix/");
    start(std::nullopt, std::nullopt);
    ASSERT_EQ(desktop.errors(), std::vector<std::string>{"File not found."});
    saveSlotAndQuit();
    EXPECT_EQ(desktop.files().size(), 2u);
    EXPECT_TRUE(desktop.files().contains(std::string(settings) + "dravix.dat"));

    form.reset();
    desktop.startNewProcess();
    start(std::nullopt, std::nullopt);
    EXPECT_TRUE(desktop.errors().empty());
    EXPECT_EQ(form->slotRecords()[1].name, "gimp");
}

// A portable copy on a read-only medium still reads its own files, even where a save must fail.
TEST_F(StoredFolder, FilesBesideAReadOnlyProgramAreStillTheOnesUsed) {
    desktop.makeFolderReadOnly("/opt/dravix/");
    start(slotListWith(4, "/bin/true", "true"));
    EXPECT_EQ(form->slotRecords()[4].name, "true");
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.errors(), std::vector<std::string>{"File access denied."});
    EXPECT_FALSE(desktop.files().contains(std::string(settings) + "dravix.ini"));
}

TEST_F(StoredFolder, APositionFileAloneAlsoKeepsThemBesideAReadOnlyProgram) {
    desktop.makeFolderReadOnly("/opt/dravix/");
    start(std::nullopt, std::string("100\r\n50\r\n"));
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.errors().back(), "File access denied.");
    EXPECT_FALSE(desktop.files().contains(std::string(settings) + "dravix.ini"));
}

} // namespace
} // namespace dravix
