#include "strip/placement.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace dravix {
namespace {

using testing::CoreFixture;

// A 1280 x 1024 monitor on the left and a 1920 x 1080 one on its right with a 40-pixel panel at
// its bottom.
const std::vector<Monitor> sideBySide = {
    {{0, 0, 1280, 1024}, {0, 0, 1280, 1024}},
    {{1280, 0, 1920, 1080}, {1280, 0, 1920, 1040}},
};
// The second monitor below the first, with a 30-pixel panel at its top.
const std::vector<Monitor> stacked = {
    {{0, 0, 1280, 1024}, {0, 0, 1280, 1024}},
    {{0, 1024, 1280, 1024}, {0, 1054, 1280, 994}},
};

class Placement : public CoreFixture {
protected:
    Place startAt(const std::string& top, const std::string& left) {
        start(testing::emptySlotList(), top + "\r\n" + left + "\r\n");
        return {desktop.geometry().left, desktop.geometry().top};
    }
    Place restartAt(const std::string& top, const std::string& left) {
        form.reset();
        desktop.startNewProcess();
        return startAt(top, left);
    }
    // Where the exit saves the strip, as the next start reads it.
    std::string savedAtExit() {
        press("ProcBMP", MouseButton::right);
        return desktop.fileInExecutableFolder("dravix.ini");
    }
};

TEST_F(Placement, StoredPlacesAreBroughtToTheNearestPlaceWhereTheOpenStripIsWhole) {
    desktop.setMonitors(sideBySide);
    EXPECT_EQ(startAt("700", "2000"), (Place{2000, 700})) << "whole already: kept";
    EXPECT_EQ(form->position().ft, "700");
    EXPECT_EQ(restartAt("1050", "2000"), (Place{2000, 1017})) << "under the panel";
    EXPECT_EQ(restartAt("100", "2000"), (Place{2000, 300})) << "near the top";
    EXPECT_EQ(restartAt("500", "3190"), (Place{2956, 500})) << "at the right edge";
    EXPECT_EQ(restartAt("500", "1200"), (Place{1036, 500})) << "across the monitors' border";
    EXPECT_EQ(restartAt("5000", "5000"), (Place{2956, 1017})) << "off every monitor";
    EXPECT_EQ(restartAt("-2147483648", "2147483647"), (Place{2956, 300}));
    EXPECT_EQ(savedAtExit(), "300\r\n2956\r\n") << "the texts took the new place";

    desktop.setMonitors(stacked);
    EXPECT_EQ(restartAt("1100", "100"), (Place{100, 1354})) << "under the lower monitor's panel";
    EXPECT_EQ(restartAt("1010", "100"), (Place{100, 1001})) << "over the border: the upper one";
}

TEST_F(Placement, PanelsOnTheLeftAndRightKeepTheStripBesideThem) {
    desktop.setMonitors({{{0, 0, 1280, 1024}, {48, 0, 1182, 1024}}});
    EXPECT_EQ(startAt("500", "10"), (Place{48, 500}));
    EXPECT_EQ(restartAt("500", "1100"), (Place{986, 500}));
}

TEST_F(Placement, AStripLeftOnAMonitorThatWentAwayComesToTheNearestOne) {
    desktop.setMonitors(sideBySide);
    startAt("500", "2000");
    press("ProcBMP", MouseButton::right);
    desktop.setMonitors({sideBySide.front()});
    EXPECT_EQ(restartAt("500", "2000"), (Place{1036, 500}));
    // Off every monitor on the other side, whatever order the desktop lists them in.
    desktop.setMonitors({sideBySide.back(), sideBySide.front()});
    EXPECT_EQ(restartAt("500", "-3000"), (Place{0, 500}));
    desktop.setMonitors(stacked);
    EXPECT_EQ(restartAt("5000", "100"), (Place{100, 2025})) << "below both: the lower one";
    // Half on each: the first listed wins.
    desktop.setMonitors(sideBySide);
    EXPECT_EQ(restartAt("500", "1267"), (Place{1036, 500}));
    // One pixel shared wins over a monitor listed first that only touches the toggle's corner.
    const ScreenRect corner{1305, 1046, 1920, 1080};
    desktop.setMonitors({{corner, corner}, sideBySide.front()});
    EXPECT_EQ(restartAt("1023", "1279"), (Place{1036, 1001}));
}

TEST_F(Placement, ArrowKeysDoNotCarryTheStripAcrossAMonitorsEdge) {
    desktop.setMonitors(sideBySide);
    startAt("500", "1036");
    form->keyDown(39);
    EXPECT_EQ(desktop.geometry().left, 1036);
}

// A window manager that keeps windows' tops on the screen, or pushes them off its edges, moves
// the tall window; every step and the close go back to the place recorded at the open press.
TEST_F(Placement, OpenAndCloseReturnExactlyWhateverTheWindowManagerDid) {
    start();
    std::mt19937 random(7);
    for (int round = 0; round < 100; ++round) {
        click("ProcBMP");
        // The first round moves the window up only.
        desktop.moveByWindowManager({round == 0 ? 196 : static_cast<int>(random() % 1200), 0});
        tick();
        EXPECT_EQ(desktop.geometry().top, 232);
        tickUntilSettled();
        EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 232, 244, 323}));
        click("ProcBMP");
        desktop.moveByWindowManager({static_cast<int>(random() % 1200), 0});
        tickUntilSettled();
        ASSERT_EQ(desktop.geometry(), (WindowGeometry{196, 532, 26, 23})) << "round " << round;
    }
}

// A width step after the window manager moved the tall window puts it back in the same change:
// one request with both the place and the size, never the place first and the size after.
TEST_F(Placement, AWidthStepPutsBackWhatTheWindowManagerMovedInTheSameChange) {
    start();
    click("ProcBMP");
    for (const WidthPhase phase : {WidthPhase::widening, WidthPhase::narrowing}) {
        SCOPED_TRACE(phase == WidthPhase::widening ? "widening" : "narrowing");
        while (form->strip().widthPhase() != phase)
            tick();
        desktop.moveByWindowManager({199, 232});
        const auto changes = desktop.geometryChanges().size();
        const int width = desktop.geometry().width;
        tick();
        ASSERT_EQ(desktop.geometryChanges().size(), changes + 1);
        EXPECT_EQ(desktop.geometry(),
                  (WindowGeometry{
                      196, 232, width + (phase == WidthPhase::widening ? 1 : -1) * Strip::widthStep,
                      323}));
        tickUntilSettled();
        click("ProcBMP");
    }
}

TEST_F(Placement, AnOpenPressMovesAToggleParkedUnderAPanelInTheSameChange) {
    desktop.setMonitors(sideBySide);
    startAt("700", "2000");
    desktop.moveByWindowManager({2000, 1030});
    const auto changes = desktop.geometryChanges().size();
    click("ProcBMP");
    ASSERT_EQ(desktop.geometryChanges().size(), changes + 1);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{2000, 1017 - 300, 26, 323}));
    tickUntilSettled();
    click("ProcBMP");
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{2000, 1017, 26, 23}));
}

class MiddleDrag : public CoreFixture {};

TEST_F(MiddleDrag, MovesTheRestingStripKeptWholeAndTheExitSavesIt) {
    start();
    form->mouseDown(12, 11, MouseButton::middle);
    form->mouseMove(12 + 100, 11 - 50);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{296, 482, 26, 23}));
    form->mouseMove(12 + 5000, 11); // window coordinates: the window is already at 296
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{1036, 482, 26, 23})) << "kept whole";
    form->mouseUp(0, 0, MouseButton::middle);
    form->mouseMove(-500, 0);
    EXPECT_EQ(desktop.geometry().left, 1036) << "the release ends the drag";
    form->mouseDown(12, 11, MouseButton::middle);
    form->captureLost();
    form->mouseMove(12 - 100, 11);
    EXPECT_EQ(desktop.geometry().left, 1036) << "a lost capture ends the drag";
    form->mouseUp(12 - 100, 11, MouseButton::middle);
    EXPECT_EQ(desktop.launches().size(), 0u);
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "482\r\n1036\r\n");
}

TEST_F(MiddleDrag, DoesNothingWhileTheStripIsOpen) {
    start();
    openStrip();
    const WindowGeometry open = desktop.geometry();
    press("ProcBMP", MouseButton::middle);
    form->mouseMove(0, 0);
    EXPECT_EQ(desktop.geometry(), open);
    // Nor once the strip has closed under the held button.
    click("ProcBMP");
    tickUntilSettled();
    const WindowGeometry closed = desktop.geometry();
    form->mouseMove(-100, 0);
    EXPECT_EQ(desktop.geometry(), closed);
}

// On a desktop that shows every pixel twice as large the strip is twice as large on the screen,
// while places stay in screen pixels.
TEST_F(Placement, ADoubleScaleDoublesTheStripOnTheScreenButNotThePlaces) {
    desktop.setScale(2);
    EXPECT_EQ(startAt("100", "1200"), (Place{1280 - 488, 600}));
    click("ProcBMP");
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{792, 0, 26, 323})) << "program pixels tall";
    tickUntilSettled();
    click("ProcBMP");
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{792, 600, 26, 23}));

    form->mouseDown(12, 11, MouseButton::middle);
    form->mouseMove(12 - 50, 11 + 10); // program pixels: the strip moves 100 and 20 on the screen
    form->mouseUp(12 - 50, 11 + 10, MouseButton::middle);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{692, 620, 26, 23}));
    EXPECT_EQ(savedAtExit(), "620\r\n692\r\n");
}

// The rule itself, row by row: the open strip whole in the work area where it fits; where it does
// not, the toggle inside at the area's left and bottom. At scale 2 every size doubles.
TEST(NearestWholePlace, KeepsTheOpenStripOrAtLeastTheToggleInsideAtEveryScale) {
    const ScreenRect screen{0, 0, 1280, 1024};
    const struct {
        const char* what;
        Place resting;
        ScreenRect workArea;
        int scale;
        Place whole;
    } rows[] = {
        {"whole already", {500, 500}, screen, 1, {500, 500}},
        {"at the top edge", {500, 300}, screen, 1, {500, 300}},
        {"a pixel above the top edge", {500, 299}, screen, 1, {500, 300}},
        {"at the right and bottom edges", {1036, 1001}, screen, 1, {1036, 1001}},
        {"a pixel past the right and bottom edges", {1037, 1002}, screen, 1, {1036, 1001}},
        {"a work area with panels at its top and left",
         {10, 320},
         {60, 30, 1220, 994},
         1,
         {60, 330}},
        {"a work area just as tall and wide as the open strip",
         {9, 9},
         {0, 0, 244, 323},
         1,
         {0, 300}},
        {"a pixel shorter", {9, 9}, {0, 0, 244, 322}, 1, {0, 299}},
        {"at the bottom edge", {500, 1020}, screen, 1, {500, 1001}},
        {"at the right edge", {1100, 500}, screen, 1, {1036, 500}},
        {"scale 2 near the bottom edge", {100, 1000}, screen, 2, {100, 978}},
        {"scale 2 near the top", {100, 400}, screen, 2, {100, 600}},
        {"scale 2 at the right edge", {1000, 700}, screen, 2, {792, 700}},
        {"a monitor smaller than the open strip", {50, 50}, {0, 0, 200, 200}, 1, {0, 177}},
        {"smaller, away from the origin", {0, 900}, {100, 50, 200, 200}, 1, {100, 227}},
        {"smaller at scale 2", {300, 10}, {0, 0, 400, 300}, 2, {0, 254}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Place whole = nearestWholePlace(row.resting, row.workArea, row.scale);
        EXPECT_EQ(whole, row.whole);
        const ScreenRect toggle = toggleAt(whole, row.scale);
        EXPECT_EQ(toggle.width, shape::closedWidth * row.scale);
        EXPECT_LE(toggle.bottom(), row.workArea.bottom()) << "the toggle reaches below the area";
        EXPECT_GE(toggle.left, row.workArea.left);
    }
}

} // namespace
} // namespace dravix
