// How the slots meet the desktop: a file dropped from a file manager (XDND) is assigned to the
// slot under the pointer, resting on a slot shows its path in a tip beside the strip, and where
// zenity is installed the right click assigns through it.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"
#include "tests/support/x11/private_x_server.h"
#include "tests/support/x11/xdnd_source.h"

#include <X11/keysym.h>

#include <cstdlib>
#include <thread>

namespace dravix::e2e {
namespace {

namespace fs = std::filesystem;

constexpr Geometry closedPlace{300, 600, 26, 23};
constexpr Geometry openPlace{300, 300, 244, 323};

class SlotsOnTheDesktop : public DravixTest {
protected:
    void SetUp() override { base = fs::canonical(app.folder()); }

    void startAndOpen(const std::map<int, SlotEntry>& slots) {
        startWith(positionFile(closedPlace.top, closedPlace.left), slotList(slots));
        ASSERT_TRUE(waitForMainWindow(closedPlace));
        clickAt(toggleX, toggleY, Button::left);
        ASSERT_TRUE(waitForGeometry(openPlace, 2000ms));
        ASSERT_TRUE(waitForImage(openFrame(), "open"));
    }

    // This run's windows besides the strip; with a title, every window so titled, whatever its
    // process (zenity's dialog is a program of its own).
    std::vector<Window> otherWindows(const std::string& title = "") {
        std::vector<Window> found = title.empty() ? app.allWindows() : x().windowsTitled(title);
        std::erase(found, main);
        return found;
    }

    // The slot list file holds exactly these slots, at once or soon.
    ::testing::AssertionResult slotsBecome(const std::map<int, SlotEntry>& slots) {
        if (waitUntil([&] { return app.readFile("dravix.dat") == slotList(slots); }, changeTimeout))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "dravix.dat holds:\n"
                                             << app.readFile("dravix.dat").value_or("(nothing)");
    }

    // Waits until nothing changes on the window any more.
    void settle(Window window) {
        if (const std::optional<Geometry> place = x().geometry(window))
            x().captureWhenStill(*place);
    }

    fs::path base;
};

// The URI escapes the space and the percent sign; decoded once, the name keeps its "%41".
TEST_F(SlotsOnTheDesktop, AFileDroppedOnASlotIsAssignedToIt) {
    const fs::path dropped = base / "odd %41 name.v2.txt";
    writeTextFile(dropped, "dropped\n");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({}));

    const std::string uriList =
        "# from a file manager\r\nhttp://example.org/not-a-file\r\nfile://" + base.string() +
        "/odd%20%2541%20name.v2.txt\r\n";
    const x11test::DropOutcome outcome = x11test::dropOn(
        x(), main, openPlace.left + slotX, openPlace.top + slotY(4), "text/uri-list", uriList);
    EXPECT_TRUE(outcome.aware) << "the strip does not take XDND drops";
    EXPECT_TRUE(outcome.accepted);
    EXPECT_TRUE(outcome.fetched);
    EXPECT_TRUE(outcome.finished);
    EXPECT_TRUE(slotsBecome({{4, {dropped.string(), "odd %41 name"}}}));
}

// Two sessions of one user, on two displays, run a strip each on one folder. Each is given a slot
// after both have read the list, and the file holds both slots.
TEST_F(SlotsOnTheDesktop, TwoStripsOnOneFolderOnTwoDisplaysLoseNoSlot) {
    const fs::path here = base / "here.txt";
    const fs::path there = base / "there.txt";
    writeTextFile(here, "1\n");
    writeTextFile(there, "2\n");
    ASSERT_NO_FATAL_FAILURE(startAndOpen({}));

    const std::string ourDisplay = std::getenv("DISPLAY");
    x11test::PrivateXServer server; // points DISPLAY at itself
    std::optional<XConnection> other(std::in_place);
    ::setenv("DISPLAY", ourDisplay.c_str(), 1);
    // The same program in the same folder, as /proc/self/exe names it through the link.
    DravixProcess secondSession;
    fs::remove(secondSession.folder() / "dravix");
    fs::create_symlink(base / "dravix", secondSession.folder() / "dravix");
    secondSession.setEnvironment("DISPLAY", server.displayName());
    secondSession.start();
    std::optional<Window> strip;
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<Window> found = other->windowsTitled("Dravix", secondSession.pid());
            strip = found.size() == 1 ? std::optional<Window>(found[0]) : std::nullopt;
            return strip && other->geometry(*strip) == closedPlace;
        },
        windowTimeout))
        << "no strip on the second display: " << secondSession.errorOutput();
    other->click(closedPlace.left + toggleX, closedPlace.top + toggleY, Button::left);
    ASSERT_TRUE(waitUntil([&] { return other->geometry(*strip) == openPlace; }, changeTimeout));

    EXPECT_TRUE(x11test::dropOn(*other, *strip, openPlace.left + slotX, openPlace.top + slotY(6),
                                "text/uri-list", "file://" + there.string() + "\r\n")
                    .finished);
    ASSERT_TRUE(slotsBecome({{6, {there.string(), "there"}}}));
    EXPECT_TRUE(x11test::dropOn(x(), main, openPlace.left + slotX, openPlace.top + slotY(1),
                                "text/uri-list", "file://" + here.string() + "\r\n")
                    .finished);
    EXPECT_TRUE(slotsBecome({{1, {here.string(), "here"}}, {6, {there.string(), "there"}}}));
}

TEST_F(SlotsOnTheDesktop, RestingOnAnAssignedSlotShowsATipBesideTheStripUntilThePointerMoves) {
    ASSERT_NO_FATAL_FAILURE(startAndOpen({{3, {"/opt/tools/third.sh", "third"}}}));

    hoverAt(slotX, slotY(3));
    std::optional<Window> tip;
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<Window> others = otherWindows();
            if (!others.empty())
                tip = others.front();
            return tip.has_value();
        },
        changeTimeout))
        << "no tip after resting on the slot";
    EXPECT_TRUE(x().overrideRedirect(*tip)) << "a window manager would frame the tip";
    const std::optional<Geometry> place = x().geometry(*tip);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->left, openPlace.left + openPlace.width + 4)
        << "4 pixels from the strip: " << describe(*place);

    hoverAt(100, 100); // the picture panel
    EXPECT_TRUE(waitUntil([&] { return otherWindows().empty(); }, changeTimeout))
        << "the tip stayed after the pointer left the slot";

    // Off the strip altogether: the tip goes, and no rest brings it back.
    hoverAt(slotX, slotY(3));
    ASSERT_TRUE(waitUntil([&] { return !otherWindows().empty(); }, changeTimeout));
    x().movePointer(1200, 1000);
    EXPECT_TRUE(waitUntil([&] { return otherWindows().empty(); }, changeTimeout))
        << "the tip stayed after the pointer left the strip";
    std::this_thread::sleep_for(1000ms);
    EXPECT_TRUE(otherWindows().empty()) << "the tip came back with the pointer off the strip";
}

// GTK's dialog opens in its own process; the strip takes no input meanwhile (an arrow key would
// move it). A path pasted into the location field and Return assign it; Escape cancels.
TEST_F(SlotsOnTheDesktop, ZenityAssignsAChosenFileAndEscapeCancels) {
    ASSERT_TRUE(fs::exists("/usr/bin/zenity")) << "zenity is missing (scripts/install-deps.sh)";
    // No desktop is named, so zenity it is; GTK keeps its settings in memory and starts no
    // accessibility bus.
    app.setEnvironment("XDG_CURRENT_DESKTOP", "");
    app.setEnvironment("GSETTINGS_BACKEND", "memory");
    app.setEnvironment("NO_AT_BRIDGE", "1");
    const fs::path chosen = base / "Picked.sh";
    writeTextFile(chosen, "#!/bin/sh\n", true);
    ASSERT_NO_FATAL_FAILURE(startAndOpen({}));

    // Right click on slot 2; zenity's window once it is drawn and takes keys.
    auto openChooser = [&]() -> std::optional<Window> {
        clickAt(slotX, slotY(2), Button::right);
        std::optional<Window> chooser;
        waitUntil(
            [&] {
                const std::vector<Window> found = otherWindows("Dravix");
                if (!found.empty())
                    chooser = found.front();
                return chooser.has_value();
            },
            windowTimeout);
        if (chooser)
            settle(*chooser);
        return chooser;
    };
    auto closed = [&](Window chooser) {
        return waitUntil([&] { return !x().geometry(chooser); }, changeTimeout);
    };

    const std::optional<Window> chooser = openChooser();
    ASSERT_TRUE(chooser) << "no zenity window after the right click";
    tapKey(XK_Up);
    x().focus(*chooser);
    x().tapKeyWith(XK_Control_L, XK_l); // the location field
    settle(*chooser);
    ASSERT_TRUE(enterIntoDialog(*chooser, chosen.string()));
    const std::map<int, SlotEntry> assigned{{2, {chosen.string(), "Picked"}}};
    EXPECT_TRUE(slotsBecome(assigned));
    EXPECT_EQ(mainGeometry(), openPlace) << "the strip took a key while zenity was up";

    const std::optional<Window> again = openChooser();
    ASSERT_TRUE(again) << "no zenity window after the second right click";
    x().focus(*again);
    x().tapKey(XK_Escape);
    ASSERT_TRUE(closed(*again)) << "zenity did not close on Escape";
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(app.readFile("dravix.dat"), slotList(assigned));
}

} // namespace
} // namespace dravix::e2e
