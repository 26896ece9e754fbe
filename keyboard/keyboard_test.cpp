#include "keyboard/keys.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <utility>

namespace dravix {
namespace {

using testing::CoreFixture;

// The keys come from every backend as Windows' virtual-key codes: Win32 hands over its own, and
// the others turn their keys into these numbers.
TEST(VirtualKeys, AreWindowsOwnCodes) {
    const std::pair<int, int> keys[] = {
        {vkTab, 0x09}, {vkReturn, 0x0D}, {vkEscape, 0x1B}, {vkSpace, 0x20},  {vkLeft, 0x25},
        {vkUp, 0x26},  {vkRight, 0x27},  {vkDown, 0x28},   {vkDigit0, 0x30}, {vkNumpad0, 0x60}};
    for (const auto& [key, windowsCode] : keys)
        EXPECT_EQ(key, windowsCode);
}

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
    form->keyDown(vkLeft);
    form->keyDown(vkLeft);
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{49, 399, 26, 23}));
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

// The strip from the keyboard: where the strip is in its slide, what a key or a second start does.
class KeysAndStarts : public CoreFixture {
protected:
    enum class Stage { closed, opening, open, closing };

    // Slot 3 holds a file that is there, slot 7 one that is gone; the others are empty.
    void startAt(Stage stage) {
        start(slotsWithThreeAndSeven(), std::string("532\r\n196\r\n"));
        if (stage == Stage::closed)
            return;
        click("ProcBMP");
        if (stage == Stage::opening)
            return;
        tickUntilSettled();
        if (stage == Stage::closing)
            click("ProcBMP");
    }

    std::string slotsWithThreeAndSeven() {
        std::string lines;
        for (int slot = 0; slot < 10; ++slot) {
            const char* path = slot == 3 ? "/apps/three.sh" : slot == 7 ? "/gone/seven.sh" : "";
            lines += std::string(path) + "\r\n" + (*path != 0 ? "x" : "") + "\r\n";
        }
        existing("/apps/three.sh");
        return lines;
    }

    bool closing() const {
        return form->strip().panelOpen() == PanelOpen::closed &&
               form->strip().verticalPhase() == VerticalPhase::lowering;
    }
};

TEST_F(KeysAndStarts, DigitsAndEscapeActOnlyWhileTheStripIsOpenOrOpening) {
    using Stage = KeysAndStarts::Stage;
    const struct {
        Stage stage;
        int key;
        int launches;      // of /apps/three.sh
        bool closingAfter; // the close sequence runs after the key
        const char* error; // the box shown, or nothing
    } cases[] = {
        {Stage::open, '3', 1, true, nullptr},
        {Stage::open, vkNumpad0 + 3, 1, true, nullptr},
        {Stage::opening, '3', 1, true, nullptr},
        {Stage::open, '0', 0, true, nullptr}, // an empty slot closes the strip as a click does
        {Stage::open, vkNumpad0 + 9, 0, true, nullptr},
        {Stage::open, vkNumpad0, 0, true, nullptr},
        {Stage::open, '7', 0, false, "File not found."},
        {Stage::open, vkEscape, 0, true, nullptr},
        {Stage::opening, vkEscape, 0, true, nullptr},
        {Stage::open, 'A', 0, false, nullptr},
        {Stage::open, 0x6A, 0, false, nullptr}, // the keypad's * follows its 9
        {Stage::open, ':', 0, false, nullptr},
        {Stage::open, '/', 0, false, nullptr},
        {Stage::open, '3' + 0x10000, 0, false, nullptr},
        {Stage::closed, '3', 0, false, nullptr},
        {Stage::closed, vkEscape, 0, false, nullptr},
        {Stage::closing, '3', 0, true, nullptr},
        {Stage::closing, vkNumpad0 + 3, 0, true, nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE("stage " + std::to_string(static_cast<int>(row.stage)) + ", key " +
                     std::to_string(row.key));
        startAt(row.stage);
        const WindowGeometry before = desktop.geometry();
        form->keyDown(row.key);
        EXPECT_EQ(desktop.launches().size(), static_cast<std::size_t>(row.launches));
        if (row.launches > 0) {
            EXPECT_EQ(desktop.launches().back().workingFolder, "/apps/");
        }
        EXPECT_EQ(closing(), row.closingAfter);
        EXPECT_EQ(desktop.geometry(), before) << "a key other than an arrow moves nothing";
        if (row.error == nullptr)
            EXPECT_TRUE(desktop.errors().empty());
        else
            EXPECT_EQ(desktop.errors(), std::vector<std::string>{row.error});
        form.reset();
        desktop.startNewProcess();
    }
}

TEST_F(KeysAndStarts, ASecondStartDoesWhatAPressOnTheToggleDoesNow) {
    startAt(Stage::closed);
    form->anotherStart();
    EXPECT_EQ(form->strip().panelOpen(), PanelOpen::open);
    EXPECT_EQ(form->strip().verticalPhase(), VerticalPhase::raising);
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 232, 244, 323}));

    form->anotherStart();
    EXPECT_TRUE(closing());
    tick();
    const WindowGeometry midSlide = desktop.geometry();
    form->anotherStart();
    EXPECT_TRUE(closing()) << "a start during a slide does nothing, as a click does";
    tickUntilSettled();
    EXPECT_EQ(desktop.geometry(), (WindowGeometry{196, 532, 26, 23}));
    EXPECT_NE(midSlide, desktop.geometry());
    EXPECT_TRUE(desktop.launches().empty());
    EXPECT_FALSE(desktop.exitStatus().has_value()) << "a second start never ends the strip";
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
