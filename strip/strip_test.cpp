#include "strip/strip.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace dravix {
namespace {

using testing::CoreFixture;
using testing::frameShows;

struct SlideStep {
    int width;
    int height;
    int top;
    int backTop;

    friend bool operator==(const SlideStep&, const SlideStep&) = default;
    friend std::ostream& operator<<(std::ostream& out, const SlideStep& step) {
        return out << "{" << step.width << "x" << step.height << " top " << step.top << " back "
                   << step.backTop << "}";
    }
};

class Slide : public CoreFixture {
protected:
    SlideStep now() const {
        const WindowGeometry window = desktop.geometry();
        const Scene& scene = form->scene();
        return {window.width, window.height, window.top, scene.element(scene.find("back")).top};
    }
    int procTop() const { return form->scene().element(form->scene().find("proc")).top; }
    // The state after each working tick until the slide settles.
    std::vector<SlideStep> runSlide() {
        std::vector<SlideStep> steps;
        do {
            tick();
            steps.push_back(now());
        } while (form->strip().animating() != Animating::idle && steps.size() < 20);
        return steps;
    }
};

TEST_F(Slide, FirstOpeningRaisesFromTheCreationTopInFiveTicks) {
    start();
    click("ProcBMP");
    EXPECT_EQ(now(), (SlideStep{26, 323, 232, 32}));
    EXPECT_EQ(procTop(), 300);
    EXPECT_EQ(&pictureShownBy("ProcBMP"), &storePicture("k2")) << "from the press on";
    EXPECT_EQ(runSlide(), (std::vector<SlideStep>{{26, 323, 232, -68},
                                                  {26, 323, 232, 0},
                                                  {107, 323, 232, 0},
                                                  {188, 323, 232, 0},
                                                  {244, 323, 232, 0}}));
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
    EXPECT_EQ(form->strip().widthPhase(), WidthPhase::idle);
    EXPECT_EQ(form->strip().verticalPhase(), VerticalPhase::idle);
}

TEST_F(Slide, ClosingThenReopeningTakeSevenTicksEach) {
    start();
    openStrip();
    click("ProcBMP");
    EXPECT_EQ(&pictureShownBy("ProcBMP"), &storePicture("k1")) << "from the close press on";
    EXPECT_EQ(runSlide(), (std::vector<SlideStep>{{163, 323, 232, 0},
                                                  {82, 323, 232, 0},
                                                  {26, 323, 232, 0},
                                                  {26, 323, 232, 100},
                                                  {26, 323, 232, 200},
                                                  {26, 323, 232, 300},
                                                  {26, 23, 532, 300}}));
    EXPECT_EQ(procTop(), 0);
    EXPECT_TRUE(frameShows(desktop.lastFrame(), 0, 0, storePicture("k1"), 0, 25));

    click("ProcBMP");
    EXPECT_EQ(runSlide(), (std::vector<SlideStep>{{26, 323, 232, 200},
                                                  {26, 323, 232, 100},
                                                  {26, 323, 232, 0},
                                                  {26, 323, 232, 0},
                                                  {107, 323, 232, 0},
                                                  {188, 323, 232, 0},
                                                  {244, 323, 232, 0}}));
}

TEST_F(Slide, SettledOpenFrameShowsPanelsAndLitToggle) {
    start();
    openStrip();
    const Frame& frame = desktop.lastFrame();
    ASSERT_EQ(frame.width, 244);
    EXPECT_TRUE(frameShows(frame, 25, 0, storePicture("authBmp")));
    EXPECT_TRUE(frameShows(frame, 0, 300, storePicture("k2"), 0, 25));
    EXPECT_TRUE(frameShows(frame, 4, 68, storePicture("kk3")));
}

TEST_F(Slide, PressesOfAnyButtonAreIgnoredOnceTheSlideRuns) {
    start();
    click("ProcBMP");
    tick();
    ASSERT_EQ(form->strip().animating(), Animating::sliding);
    const SlideStep during = now();
    press("ProcBMP", MouseButton::left);
    press("ProcBMP", MouseButton::right);
    press("ProcBMP", MouseButton::middle);
    EXPECT_EQ(now(), during);
    EXPECT_FALSE(desktop.exitStatus());
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
}

TEST_F(Slide, MiddleClickAndTheDeadColumnDoNothing) {
    start();
    press("ProcBMP", MouseButton::middle);
    form->mouseDown(25, 10, MouseButton::left);
    form->mouseDown(25, 10, MouseButton::right);
    tickTimes(3);
    EXPECT_EQ(now(), (SlideStep{26, 23, 532, 32}));
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
    EXPECT_FALSE(desktop.exitStatus());
}

TEST_F(Slide, SecondOpenPressBeforeTheFirstTickClosesAgain) {
    start();
    click("ProcBMP");
    click("ProcBMP"); // animating is still 0, so this is a close press
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::closed);
    const std::vector<SlideStep> steps = runSlide();
    EXPECT_EQ(steps.front(), (SlideStep{26, 323, 232, 32})) << "narrowing ends at once";
    EXPECT_EQ(steps.back(), (SlideStep{26, 23, 532, 300}));
    EXPECT_EQ(steps.size(), 5u); // narrow, then 132, 232, 332 and the final tick at 300
}

TEST_F(Slide, SecondClosePressBeforeTheFirstTickReopensInPlace) {
    start();
    openStrip();
    click("ProcBMP");
    click("ProcBMP"); // taken as an open press while the width is still to narrow
    EXPECT_EQ(now(), (SlideStep{244, 323, 232, 0}));
    const std::vector<SlideStep> steps = runSlide();
    EXPECT_EQ(steps.front(), (SlideStep{163, 323, 232, 0}));
    EXPECT_EQ(steps.back(), (SlideStep{244, 323, 232, 0}));
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
}

TEST_F(Slide, TickWithTheSameMillisecondDoesNothing) {
    start();
    click("ProcBMP");
    desktop.setMillisecond(500);
    form->tick();
    const SlideStep first = now();
    form->tick();
    form->tick();
    EXPECT_EQ(now(), first);
    desktop.setMillisecond(501);
    form->tick();
    EXPECT_NE(now(), first);
}

TEST_F(Slide, FirstTickAtMillisecondZeroIsSkipped) {
    start();
    click("ProcBMP");
    desktop.setMillisecond(0);
    form->tick();
    EXPECT_EQ(now().backTop, 32);
    EXPECT_EQ(form->strip().animating(), Animating::idle);
}

// The same afternoon on a desktop that ticks all day and on one that lets the program sleep
// while nothing moves: the program asks for the tick only from a press until the slide ends and
// while the pointer rests on a slot before its tip shows, and the slide lands on the same ticks.
TEST_F(Slide, TicksAreAskedForOnlyWhileSomethingMovesAndKeepTheirGridThroughASleep) {
    const auto afternoon = [this](bool tickAlways) {
        desktop.startNewProcess();
        start(testing::slotListWith(4, existing("/home/me/notes.txt"), "notes"));
        std::vector<WindowGeometry> seen;
        const auto watch = [&](int milliseconds) {
            for (int waited = 0; waited < milliseconds; waited += 50) {
                desktop.passTime(*form, 50, tickAlways);
                seen.push_back(desktop.geometry());
            }
        };
        EXPECT_FALSE(desktop.ticking()) << "at rest after the start";
        watch(1200);
        desktop.passTime(*form, 34, tickAlways);
        click("ProcBMP");
        EXPECT_TRUE(desktop.ticking()) << "from the press on";
        watch(1000);
        EXPECT_FALSE(desktop.ticking()) << "open and at rest";
        hover("kn4");
        EXPECT_TRUE(desktop.ticking()) << "the pointer rests on a slot";
        watch(1000);
        EXPECT_TRUE(desktop.tip());
        EXPECT_FALSE(desktop.ticking()) << "the tip shows";
        click("ProcBMP");
        watch(1000);
        EXPECT_FALSE(desktop.ticking()) << "closed and at rest";
        return seen;
    };
    const std::vector<WindowGeometry> sleeping = afternoon(false);
    EXPECT_EQ(sleeping, afternoon(true));
    EXPECT_EQ(sleeping.back(), (WindowGeometry{196, 532, 26, 23}));
}

TEST_F(Slide, CloseWhileRaisingLowersFromWhereThePanelGot) {
    start();
    openStrip();
    click("ProcBMP");
    tickUntilSettled();
    click("ProcBMP");
    tick(); // back at 200
    form->mouseDown(10, 300 + 5, MouseButton::left);
    form->mouseUp(10, 300 + 5, MouseButton::left);
    ASSERT_EQ(form->strip().panelOpen(), PanelOpen::open)
        << "animating: the toggle ignores the press";
    // A launch is the other way to start closing mid-slide.
    CoreFixture::click("kn0"); // an empty slot: starts nothing, closes all the same
    ASSERT_EQ(form->strip().panelOpen(), PanelOpen::closed);
    EXPECT_EQ(runSlide(), (std::vector<SlideStep>{
                              {26, 323, 232, 200}, {26, 323, 232, 300}, {26, 23, 532, 300}}));
}

TEST_F(Slide, ArrowKeysWhileOpenCarryOverIntoTheClosedPlace) {
    start();
    openStrip();
    form->keyDown(40);
    form->keyDown(37);
    click("ProcBMP");
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{195, 533, 26, 23}));
}

} // namespace
} // namespace dravix
