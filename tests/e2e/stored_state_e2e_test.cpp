// The position file and the exit: the window starts where the file says, the arrow keys move it,
// and a right press on the toggle writes the position and ends the program with status 0.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

namespace dravix::e2e {
namespace {

class PositionAndExit : public DravixTest {
protected:
    static std::set<std::string> namesIn(const std::filesystem::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // The program writes nothing but its two stored files: no temporary file of a safe write is
    // left behind, and nothing lands in the working folder or HOME.
    void expectNoOtherFiles() {
        EXPECT_EQ(namesIn(app.folder()),
                  (std::set<std::string>{"dravix", "dravix.dat", "dravix.ini", "elsewhere",
                                         "stderr.txt", "stdout.txt"}));
        EXPECT_TRUE(std::filesystem::is_empty(app.elsewhere()))
            << "dravix wrote into its working folder / HOME";
    }
};

TEST_F(PositionAndExit, ArrowKeysMoveTheWindowAndTheExitSavesWhereItIs) {
    startWith("400\r\n200\r\n", emptySlotList());
    ASSERT_TRUE(waitForMainWindow({200, 400, 26, 23}));
    ASSERT_TRUE(waitForImage(closedFrame(), "closed"));

    for (int i = 0; i < 3; ++i) {
        tapKey(XK_Down);
    }
    for (int i = 0; i < 2; ++i) {
        tapKey(XK_Left);
    }
    ASSERT_TRUE(waitForGeometry({198, 403, 26, 23}));
    EXPECT_TRUE(waitForImage(closedFrame(), "moved"));

    exitThroughTheToggle(0);
    EXPECT_EQ(app.readFile("dravix.ini"), "403\r\n198\r\n");
    EXPECT_EQ(app.readFile("dravix.dat"), emptySlotList());
    expectNoOtherFiles();
}

// The file's texts are kept as read until a key press rewrites them as plain decimals.
TEST_F(PositionAndExit, WithoutAKeyPressTheExitWritesBackTheTextsAsRead) {
    startWith("  430\r\n+7\r\n", emptySlotList());
    ASSERT_TRUE(waitForMainWindow({7, 430, 26, 23}));

    exitThroughTheToggle(0);
    EXPECT_EQ(app.readFile("dravix.ini"), "  430\r\n+7\r\n");
    expectNoOtherFiles();
}

TEST_F(PositionAndExit, AnyKeyRewritesThePositionAsPlainDecimals) {
    startWith("  430\r\n+7\r\n", emptySlotList());
    ASSERT_TRUE(waitForMainWindow({7, 430, 26, 23}));

    tapKey(XK_a);
    // A letter moves nothing; the texts change inside the program only, so the exit shows them.
    exitThroughTheToggle(0);
    EXPECT_EQ(app.readFile("dravix.ini"), "430\r\n7\r\n");
}

// The exit works with the strip open and does not close it first; it saves where the toggle rests,
// not the open window's Top, so the next start shows the closed toggle where it was.
TEST_F(PositionAndExit, ExitWithTheStripOpenAndStartAgainClosed) {
    startWith(positionFile(600, 300), emptySlotList());
    ASSERT_TRUE(waitForMainWindow({300, 600, 26, 23}));
    clickAt(toggleX, toggleY, Button::left);
    ASSERT_TRUE(waitForGeometry({300, 300, 244, 323}, 2000ms));

    tapKey(XK_Right);
    ASSERT_TRUE(waitForGeometry({301, 300, 244, 323}));
    exitThroughTheToggle(300);
    EXPECT_EQ(app.readFile("dravix.ini"), "600\r\n301\r\n");

    app.start();
    ASSERT_TRUE(waitForMainWindow({301, 600, 26, 23}));
    EXPECT_TRUE(waitForImage(closedFrame(), "closed-after-restart"));
}

// Installed where the user may not write, the program keeps its files in the user's settings
// folder, both the slot it is given and its place, and leaves its own folder as the package made
// it. The test of the Debian package (tests/install) runs this on the package's /usr/bin/dravix.
TEST_F(PositionAndExit, InstalledWhereTheUserMayNotWriteItKeepsTheFilesInTheSettingsFolder) {
    app.runAsOrdinaryUser();
    // The settings folder is ~/.config/dravix, and the file dialog the program's own: no desktop
    // file chooser on PATH.
    app.unsetEnvironment("XDG_CONFIG_HOME");
    app.setEnvironment("PATH", app.elsewhere().string());
    const std::filesystem::path settings = app.elsewhere() / ".config" / "dravix";
    std::filesystem::create_directories(settings);
    writeTextFile(settings / "dravix.ini", "500\r\n400\r\n");
    writeTextFile(settings / "dravix.dat", emptySlotList());
    const std::filesystem::path chosen = app.elsewhere() / "notes.txt";
    writeTextFile(chosen, "a document\n");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(app.elsewhere())) {
        ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
    }
    app.start();
    ASSERT_TRUE(waitForMainWindow({400, 500, 26, 23})) << app.errorOutput();
    const std::set<std::string> beside = namesIn(app.programFolder());
    tapKey(XK_Down);
    ASSERT_TRUE(waitForGeometry({400, 501, 26, 23}));
    clickAt(toggleX, toggleY, Button::left);
    ASSERT_TRUE(waitForGeometry({400, 201, 244, 323}, 2000ms));
    clickAt(slotX, slotY(2), Button::right);
    ASSERT_TRUE(enterIntoTheNextDialog(chosen.string()));
    const std::string assigned = slotList({{2, {chosen.string(), "notes"}}});
    EXPECT_TRUE(
        waitUntil([&] { return readTextFile(settings / "dravix.dat") == assigned; }, changeTimeout))
        << readTextFile(settings / "dravix.dat").value_or("(no dravix.dat)");
    exitThroughTheToggle(300);

    EXPECT_EQ(readTextFile(settings / "dravix.ini"), "501\r\n400\r\n");
    EXPECT_FALSE(readTextFile(app.programFolder() / "dravix.ini"));
    EXPECT_FALSE(readTextFile(app.programFolder() / "dravix.dat"));
    EXPECT_EQ(namesIn(app.programFolder()), beside) << "dravix wrote beside its executable";
}

// Two copies installed in two folders the user may not write keep their files in one settings
// folder: the second start gives way to the strip that runs, which opens, and a slot given to it
// afterwards is saved beside the slot it already had. Neither copy erases the other's slots.
TEST_F(PositionAndExit, TwoInstalledCopiesWithOneSettingsFolderGiveOneStrip) {
    DravixProcess second;
    const std::filesystem::path settings = app.elsewhere() / "config" / "dravix";
    std::filesystem::create_directories(settings);
    const std::filesystem::path kept = app.elsewhere() / "kept.txt";
    const std::filesystem::path chosen = app.elsewhere() / "notes.txt";
    writeTextFile(kept, "a document\n");
    writeTextFile(chosen, "another document\n");
    writeTextFile(settings / "dravix.ini", "500\r\n400\r\n");
    writeTextFile(settings / "dravix.dat", slotList({{2, {kept.string(), "kept"}}}));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(app.elsewhere())) {
        ASSERT_EQ(::chown(entry.path().c_str(), 65534, 65534), 0);
    }
    for (DravixProcess* copy : {&app, &second}) {
        copy->runAsOrdinaryUser();
        copy->setEnvironment("XDG_CONFIG_HOME", (app.elsewhere() / "config").string());
        copy->setEnvironment("PATH", app.elsewhere().string()); // the program's own file dialog
    }
    app.start();
    ASSERT_TRUE(waitForMainWindow({400, 500, 26, 23})) << app.errorOutput();

    second.start();
    const std::optional<int> status = second.waitForExit(windowTimeout);
    ASSERT_TRUE(status) << "the second copy runs on beside the first";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(*status);
    EXPECT_EQ(second.errorOutput(), "");
    ASSERT_TRUE(waitForGeometry({400, 200, 244, 323}, 2000ms)) << "the running strip did not open";
    EXPECT_EQ(app.windows().size(), 1u);

    clickAt(slotX, slotY(5), Button::right);
    ASSERT_TRUE(enterIntoTheNextDialog(chosen.string()));
    const std::string both =
        slotList({{2, {kept.string(), "kept"}}, {5, {chosen.string(), "notes"}}});
    EXPECT_TRUE(
        waitUntil([&] { return readTextFile(settings / "dravix.dat") == both; }, changeTimeout))
        << readTextFile(settings / "dravix.dat").value_or("(no dravix.dat)");
    exitThroughTheToggle(300);
    EXPECT_EQ(readTextFile(settings / "dravix.dat"), both);
    EXPECT_EQ(readTextFile(settings / "dravix.ini"), "500\r\n400\r\n");
}

// A list the user may write but not read is never written over: its failure shows, the strip
// still rests at its stored place, and an assignment is refused with the box, the file byte for
// byte as it was.
TEST_F(PositionAndExit, AListTheUserMayNotReadSurvivesAnAssignment) {
    app.runAsOrdinaryUser();
    app.setEnvironment("PATH", app.elsewhere().string()); // the program's own file dialog
    const std::string list = slotList({{1, {"/opt/tools/kept.sh", "kept"}}});
    app.writeFile("dravix.dat", list);
    app.writeFile("dravix.ini", positionFile(500, 400));
    const std::filesystem::path chosen = app.elsewhere() / "notes.txt";
    writeTextFile(chosen, "a document\n");
    // The user's own folder, which would take a new file in the list's place.
    for (const char* name : {".", "dravix.dat", "dravix.ini"})
        ASSERT_EQ(::chown((app.folder() / name).c_str(), 65534, 65534), 0);
    std::filesystem::permissions(app.folder() / "dravix.dat", std::filesystem::perms::owner_write);
    app.start();
    ASSERT_TRUE(waitForMainWindow({400, 500, 26, 23})) << app.errorOutput();
    std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "no error box; " << app.describeWindows();
    dismissErrorBox(*box);
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout));

    clickAt(toggleX, toggleY, Button::left);
    ASSERT_TRUE(waitForGeometry({400, 200, 244, 323}, 2000ms));
    clickAt(slotX, slotY(2), Button::right);
    ASSERT_TRUE(enterIntoTheNextDialog(chosen.string()));
    box = waitForErrorBox();
    ASSERT_TRUE(box) << "the refused save said nothing; " << app.describeWindows();
    dismissErrorBox(*box);
    std::filesystem::permissions(app.folder() / "dravix.dat", std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(app.readFile("dravix.dat"), list);
}

// The settings folder named through a link before the first save makes it, and by its real path
// after: one claim, so a later start gives way to the strip that runs.
TEST_F(PositionAndExit, ASettingsPathThroughALinkGivesOneStrip) {
    DravixProcess second;
    std::filesystem::create_directories(app.elsewhere() / "real");
    std::filesystem::create_directory_symlink("real", app.elsewhere() / "link");
    const std::filesystem::path settings = app.elsewhere() / "real" / "dravix";
    const std::filesystem::path chosen = app.elsewhere() / "notes.txt";
    writeTextFile(chosen, "a document\n");
    for (const auto& entry : std::filesystem::recursive_directory_iterator(app.elsewhere()))
        ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chown(app.elsewhere().c_str(), 65534, 65534), 0);
    for (DravixProcess* copy : {&app, &second}) {
        copy->runAsOrdinaryUser();
        copy->setEnvironment("XDG_CONFIG_HOME", (app.elsewhere() / "link").string());
        copy->setEnvironment("PATH", app.elsewhere().string()); // the program's own file dialog
    }
    app.start();
    const std::optional<Window> box = waitForErrorBox();
    ASSERT_TRUE(box) << "a first start says the files are not found; " << app.describeWindows();
    dismissErrorBox(*box);
    ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout));
    const std::optional<Geometry> closed = waitForMainWindowSized(26, 23);
    ASSERT_TRUE(closed);
    clickAt(toggleX, toggleY, Button::left);
    ASSERT_TRUE(waitForMainWindowSized(244, 323));
    clickAt(slotX, slotY(5), Button::right);
    ASSERT_TRUE(enterIntoTheNextDialog(chosen.string()));
    ASSERT_TRUE(
        waitUntil([&] { return readTextFile(settings / "dravix.dat").has_value(); }, changeTimeout))
        << "the first save made no settings folder";

    second.start();
    const std::optional<int> status = second.waitForExit(windowTimeout);
    ASSERT_TRUE(status) << "the second copy runs on beside the first";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(*status);
    EXPECT_EQ(app.windows().size(), 1u);
}

} // namespace
} // namespace dravix::e2e
