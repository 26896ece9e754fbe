#include "keyboard/arrow_nudge.h"

#include "tests/support/core_fixture.h"

#include <gtest/gtest.h>

namespace dravix {
namespace {

using testing::CoreFixture;

class ArrowKeys : public CoreFixture {};

TEST_F(ArrowKeys, EachArrowMovesOnePixelAndEveryKeyRecordsThePosition) {
    start(testing::emptySlotList(), std::string("400\r\n50\r\n"));
    form->keyDown(vkDown);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{50, 401, 26, 23}));
    EXPECT_EQ(form->position().fl, "50");
    EXPECT_EQ(form->position().ft, "401");
    form->keyDown(vkRight);
    form->keyDown(vkUp);
    form->keyDown(vkUp);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{51, 399, 26, 23}));
    EXPECT_EQ(form->position().ft, "399");
}

TEST_F(ArrowKeys, OtherKeysOnlyReplaceTheReadTextByTheRealPosition) {
    start(testing::emptySlotList(), std::string("  400\r\nabc\r\n"));
    EXPECT_EQ(form->position().ft, "  400");
    EXPECT_EQ(form->position().fl, "abc");
    const auto changes = desktop.geometryChanges().size();
    form->keyDown(65);      // A
    form->keyDown(0x100e9); // a key without a Windows code, such as é
    EXPECT_EQ(desktop.geometryChanges().size(), changes);
    EXPECT_EQ(form->position().ft, "400");
    EXPECT_EQ(form->position().fl, "0");
}

// The open strip, 244 x 323 from Top - 300, fills the 1280 x 1024 screen's corners exactly.
TEST_F(ArrowKeys, NudgesThatWouldPutTheOpenStripOffTheScreenDoNothing) {
    for (const auto& [stored, key] : {std::pair{"300\r\n0\r\n", vkLeft},
                                      {"300\r\n0\r\n", vkUp},
                                      {"1001\r\n1036\r\n", vkRight},
                                      {"1001\r\n1036\r\n", vkDown}}) {
        start(testing::emptySlotList(), std::string(stored));
        const WindowGeometry before = desktop.geometry();
        form->keyDown(key);
        EXPECT_EQ(desktop.geometry(), before) << stored << " key " << key;
        press("ProcBMP", MouseButton::right);
        EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), stored);
        form.reset();
        desktop.startNewProcess();
    }
}

TEST_F(ArrowKeys, KeysWhileTheStripIsTallMoveItAndRecordTheRestingPlace) {
    start();
    click("ProcBMP");
    tick();
    form->keyDown(vkDown);
    EXPECT_EQ(form->position().ft, "533") << "the toggle's place, not the tall window's Top";
    EXPECT_EQ(desktop.geometry().top, 233);
    tickUntilSettled();
    click("ProcBMP");
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry().top, 533) << "the nudge carries over into the closed place";
}

class Exit : public CoreFixture {};

TEST_F(Exit, WritesTheTextsAsReadWhileTheyNameThePlaceTheStripRestsAt) {
    start(testing::emptySlotList(), std::string("  400\r\nabc\r\nextra\r\n"));
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{0, 400, 26, 23}));
    openStrip();
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.exitStatus(), 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "  400\r\nabc\r\n");
}

TEST_F(Exit, WritesThePlaceTheWindowManagerMovedTheStripTo) {
    start();
    desktop.moveByWindowManager({700, 600});
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "600\r\n700\r\n");
}

TEST_F(Exit, FirstRunWithoutFilesSavesWhereTheStripWasShown) {
    start(std::nullopt, std::nullopt);
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "300\r\n196\r\n");
    form.reset();
    desktop.startNewProcess();
    start(std::nullopt, std::nullopt);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 300, 26, 23}));
}

} // namespace
} // namespace dravix
