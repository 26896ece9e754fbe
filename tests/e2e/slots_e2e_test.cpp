// The launch slots: a left release starts the slot's file in the file's folder (programs directly,
// documents through xdg-open) and closes the strip; a right release assigns a file through the
// open-file dialog, and the assignment is stored and survives a restart.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <thread>

namespace dravix::e2e {
namespace {

namespace fs = std::filesystem;

// Low enough on the screen for the open strip to be wholly visible.
constexpr Geometry closedPlace{300, 600, 26, 23};
constexpr Geometry openPlace{300, 300, 244, 323};

constexpr Milliseconds slideTimeout = 2000ms;

// Each test works in its dravix folder: the files the slots hold, a stand-in xdg-open and the
// records the started programs leave.
class Slots : public DravixTest {
protected:
    // Every test gets a recording stand-in for xdg-open as the only program on its PATH, so that
    // a launch handed to the desktop's handler is seen rather than opening anything, and no
    // desktop file chooser (zenity, kdialog) takes the place of the program's own dialog.
    void SetUp() override {
        base = fs::canonical(app.folder());
        fs::create_directory(base / "bin");
        writeTextFile(base / "bin" / "xdg-open",
                      "#!/bin/sh\n"
                      "{ printf 'cwd %s\\n' \"$(pwd -P)\"; printf 'argc %s\\n' \"$#\";\n"
                      "  for argument; do printf 'arg %s\\n' \"$argument\"; done; } >> '" +
                          handlerCalls().string() + "'\n",
                      true);
        app.setEnvironment("PATH", (base / "bin").string());
    }

    // What the stand-in xdg-open recorded, one block of lines per call.
    fs::path handlerCalls() const { return base / "xdg-open-calls.txt"; }
    // What the recording scripts recorded, one line per run: "<argument count> <folder>".
    fs::path runs() const { return base / "runs.txt"; }

    // A shell script that appends its argument count and working folder to runs(), marked.
    void writeRecordingScript(const fs::path& path, const std::string& mark = "") {
        writeTextFile(path,
                      "#!/bin/sh\n"
                      "printf '%s%s %s\\n' '" +
                          mark + "' \"$#\" \"$(pwd -P)\" >> '" + runs().string() + "'\n",
                      true);
    }

    // Starts with these slots at closedPlace and opens the strip.
    void startAndOpen(const std::map<int, SlotEntry>& slots) {
        startWith(positionFile(closedPlace.top, closedPlace.left), slotList(slots));
        ASSERT_TRUE(waitForMainWindow(closedPlace));
        open();
    }

    void open() {
        clickAt(toggleX, toggleY, Button::left);
        ASSERT_TRUE(waitForGeometry(openPlace, slideTimeout));
        ASSERT_TRUE(waitForImage(openFrame(), "open"));
    }

    // Waits until runs() holds at least `count` lines; the tests then look at what they say.
    void waitForRuns(int count) {
        waitUntil(
            [&] {
                const std::string text = readTextFile(runs()).value_or("");
                return std::count(text.begin(), text.end(), '\n') >= count;
            },
            changeTimeout);
    }

    // The strip closes after a launch; once it has, a second start that was not meant to happen
    // has had the close's half second and a little more to show.
    void expectClosedAfterLaunch() {
        EXPECT_TRUE(waitForGeometry(closedPlace, slideTimeout));
        EXPECT_TRUE(waitForImage(closedFrame(), "closed-after-launch"));
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(app.running());
    }

    fs::path base;
};

TEST_F(Slots, LeftClickStartsAScriptOnceInItsFolderWithoutArgumentsAndClosesTheStrip) {
    fs::create_directory(base / "tools");
    writeRecordingScript(base / "tools" / "hello.sh");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({{0, {(base / "tools" / "hello.sh").string(), "hello"}}}));

    clickAt(slotX, slotY(0), Button::left);
    waitForRuns(1);
    expectClosedAfterLaunch();
    EXPECT_EQ(readTextFile(runs()), "0 " + (base / "tools").string() + "\n");
    EXPECT_FALSE(readTextFile(handlerCalls())) << "an executable went to xdg-open";
    EXPECT_EQ(app.readFile("dravix.dat"),
              slotList({{0, {(base / "tools" / "hello.sh").string(), "hello"}}}));
}

// The second click of a double click comes after the close began: one start.
TEST_F(Slots, DoubleClickStartsTheScriptOnce) {
    fs::create_directory(base / "tools");
    writeRecordingScript(base / "tools" / "twice.sh");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({{4, {(base / "tools" / "twice.sh").string(), "twice"}}}));

    // Both clicks reach the slot before the first tick of the close moves anything.
    clickAt(slotX, slotY(4), Button::left);
    clickAt(slotX, slotY(4), Button::left);
    waitForRuns(1);
    expectClosedAfterLaunch();
    EXPECT_EQ(readTextFile(runs()), "0 " + (base / "tools").string() + "\n");
}

TEST_F(Slots, LeftClickHandsADocumentToXdgOpenAsItsOneArgument) {
    fs::create_directory(base / "docs");
    const fs::path document = base / "docs" / "notes.txt";
    writeTextFile(document, "not a program\n");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({{7, {document.string(), "notes"}}}));

    clickAt(slotX, slotY(7), Button::left);
    waitUntil([&] { return readTextFile(handlerCalls()).has_value(); }, changeTimeout);
    expectClosedAfterLaunch();
    EXPECT_EQ(readTextFile(handlerCalls()),
              "cwd " + (base / "docs").string() + "\nargc 1\narg " + document.string() + "\n");
}

// The path reaches the program as one argument: were it split at the space or read by a shell,
// one of the decoys would run or nothing would.
TEST_F(Slots, APathWithASpaceAndQuotesStartsThatFile) {
    const fs::path folder = base / "odd folder";
    fs::create_directory(folder);
    const fs::path script = folder / "my \"odd\" tool's.sh";
    writeRecordingScript(script, "right ");
    writeRecordingScript(base / "odd", "decoy ");
    writeRecordingScript(folder / "my", "decoy ");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({{9, {script.string(), "my \"odd\" tool's"}}}));

    clickAt(slotX, slotY(9), Button::left);
    waitForRuns(1);
    expectClosedAfterLaunch();
    EXPECT_EQ(readTextFile(runs()), "right 0 " + folder.string() + "\n");
    EXPECT_FALSE(readTextFile(handlerCalls())) << "an executable went to xdg-open";
}

TEST_F(Slots, AFileAssignedThroughTheDialogIsStoredAndSurvivesARestart) {
    // A dot in the folder and two in the file name: the display name is the last component cut
    // before its first dot, "Run_it".
    fs::create_directory(base / "picked.d");
    const fs::path chosen = base / "picked.d" / "Run_it.v2.sh";
    writeRecordingScript(chosen);
    const std::map<int, SlotEntry> before{{0, {"/opt/alpha.sh", "alpha"}},
                                          {9, {"/home/me/zeta.txt", "zeta"}}};
    std::map<int, SlotEntry> after = before;
    after[2] = {chosen.string(), "Run_it"};
    ASSERT_NO_FATAL_FAILURE(startAndOpen(before));

    clickAt(slotX, slotY(2), Button::right);
    ASSERT_TRUE(enterIntoTheNextDialog(chosen.string()));

    ASSERT_TRUE(
        waitUntil([&] { return app.readFile("dravix.dat") == slotList(after); }, changeTimeout))
        << "dravix.dat holds:\n"
        << app.readFile("dravix.dat").value_or("(nothing)");
    // An assignment keeps the strip open.
    EXPECT_EQ(mainGeometry(), openPlace);
    EXPECT_FALSE(readTextFile(runs())) << "the assignment started the file";

    clickAt(toggleX, openToggleTop + toggleY, Button::right);
    const std::optional<int> status = app.waitForExit(changeTimeout);
    ASSERT_TRUE(status) << "dravix still runs after the right press on the toggle";
    ASSERT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << describeWaitStatus(*status);
    EXPECT_EQ(app.readFile("dravix.dat"), slotList(after));

    // The restarted program shows the slot's name and starts the chosen file.
    app.start();
    ASSERT_TRUE(waitForMainWindow(closedPlace));
    ASSERT_NO_FATAL_FAILURE(open());
    hoverAt(slotX, slotY(2));
    EXPECT_TRUE(waitForImage(openFrame({"br", "bu", "bn", "minmin", "bi", "bt"}),
                             "slot-2-name-after-restart"));
    clickAt(slotX, slotY(2), Button::left);
    waitForRuns(1);
    expectClosedAfterLaunch();
    EXPECT_EQ(readTextFile(runs()), "0 " + (base / "picked.d").string() + "\n");
}

// The helper answers after the release: an entry gio cannot start, or a document no application
// opens (xdg-open's status 3), brings the error box, and the strip stays open under it and after
// it, for another try.
TEST_F(Slots, AFileItsHelperCannotStartShowsABoxAndTheStripStaysOpen) {
    std::optional<fs::path> gio;
    for (const char* folder : {"/usr/bin", "/bin", "/usr/local/bin"}) {
        if (!gio && ::access((std::string(folder) + "/gio").c_str(), X_OK) == 0)
            gio = fs::path(folder) / "gio";
    }
    const fs::path entry = base / "missing.desktop";
    writeTextFile(entry,
                  "[Desktop Entry]\nType=Application\nName=Missing\nExec=/nonexistent/app\n");
    const fs::path document = base / "notes.odd";
    writeTextFile(document, "no application opens this\n");
    if (gio)
        fs::create_symlink(*gio, base / "bin" / "gio");
    else
        std::cerr << "note: gio is not installed (Debian: libglib2.0-bin); entries not tried\n";
    ASSERT_NO_FATAL_FAILURE(
        startAndOpen({{2, {entry.string(), "missing"}}, {3, {document.string(), "notes"}}}));
    writeTextFile(
        base / "bin" / "xdg-open",
        "#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n", true);

    for (const int slot : {2, 3}) {
        if (slot == 2 && !gio)
            continue;
        SCOPED_TRACE("slot " + std::to_string(slot));
        clickAt(slotX, slotY(slot), Button::left);
        const std::optional<Window> box = waitForErrorBox();
        ASSERT_TRUE(box) << "no error box; " << app.describeWindows();
        EXPECT_TRUE(waitForGeometry(openPlace, slideTimeout)) << "the strip did not stay open";
        dismissErrorBox(*box);
        ASSERT_TRUE(waitUntil([&] { return app.windows().size() == 1; }, changeTimeout))
            << "the error box did not close; " << app.describeWindows();
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(waitForGeometry(openPlace, slideTimeout));
        EXPECT_TRUE(app.running());
    }
    EXPECT_FALSE(readTextFile(handlerCalls())) << "the entry went to xdg-open";
}

} // namespace
} // namespace dravix::e2e
