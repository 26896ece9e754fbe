#include "keyboard/arrow_nudge.h"

#include "tests/support/core_fixture.h"

#include <gtest/gtest.h>

namespace dravix {
namespace {

using testing::CoreFixture;

class ArrowKeys : public CoreFixture {};

TEST_F(ArrowKeys, EachArrowMovesOnePixelAndEveryKeyRecordsThePosition) {
    start(testing::emptySlotList(), std::string("200\r\n50\r\n"));
    form->keyDown(vkDown);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{50, 201, 26, 23}));
    EXPECT_EQ(form->position().fl, "50");
    EXPECT_EQ(form->position().ft, "201");
    form->keyDown(vkRight);
    form->keyDown(vkUp);
    form->keyDown(vkUp);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{51, 199, 26, 23}));
    EXPECT_EQ(form->position().ft, "199");
}

TEST_F(ArrowKeys, OtherKeysOnlyReplaceTheReadTextByTheRealPosition) {
    start(testing::emptySlotList(), std::string("  -30\r\nabc\r\n"));
    EXPECT_EQ(form->position().ft, "  -30");
    EXPECT_EQ(form->position().fl, "abc");
    const auto changes = desktop.geometryChanges().size();
    form->keyDown(65); // A
    form->keyDown(13); // Return
    EXPECT_EQ(desktop.geometryChanges().size(), changes);
    EXPECT_EQ(form->position().ft, "-30");
    EXPECT_EQ(form->position().fl, "0");
}

TEST_F(ArrowKeys, PositionMayGoNegativeAndIsSavedAsDecimalText) {
    start(testing::emptySlotList(), std::string("0\r\n0\r\n"));
    form->keyDown(vkLeft);
    form->keyDown(vkUp);
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.exitStatus(), 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "-1\r\n-1\r\n");
}

TEST_F(ArrowKeys, KeysDuringTheSlideMoveTheWindowAndRecordTheTallTop) {
    start();
    click("ProcBMP");
    tick();
    form->keyDown(vkDown);
    EXPECT_EQ(form->position().ft, "-167");
    tickUntilSettled();
    click("ProcBMP");
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry().top, 133) << "the nudge carries over into the closed place";
}

TEST_F(ArrowKeys, CoordinatesStopAtTheEndsOfTheirRange) {
    start(testing::emptySlotList(), std::string("2147483647\r\n-2147483648\r\n"));
    form->keyDown(vkDown);
    form->keyDown(vkLeft);
    EXPECT_EQ(form->position().ft, "2147483647");
    EXPECT_EQ(form->position().fl, "-2147483648");
}

class Exit : public CoreFixture {};

TEST_F(Exit, WritesTheTextsAsReadWhenNoKeyWasPressed) {
    start(testing::emptySlotList(), std::string("  -30\r\nabc\r\nextra\r\n"));
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{0, -30, 26, 23}));
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.exitStatus(), 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "  -30\r\nabc\r\n");
}

TEST_F(Exit, FirstRunWithoutFilesWritesTwoEmptyLines) {
    start(std::nullopt, std::nullopt);
    openStrip();
    desktop.queueDialogAnswer("/usr/bin/vim");
    click("kn0", MouseButton::right); // creates the slot list file
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "\r\n\r\n");
    form.reset();
    start(std::nullopt, std::nullopt);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{0, 0, 26, 23}));
}

TEST_F(Exit, WorksWithTheStripOpenAndSavesTheFieldsNotTheWindow) {
    start();
    openStrip();
    press("ProcBMP", MouseButton::right);
    EXPECT_EQ(desktop.exitStatus(), 0);
    EXPECT_EQ(desktop.fileInExecutableFolder("dravix.ini"), "132\r\n196\r\n");
}

} // namespace
} // namespace dravix
