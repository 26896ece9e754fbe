#include "platform/fltk/fltk_input.h"

#include <FL/Enumerations.H>
#include <gtest/gtest.h>

#include <utility>

namespace {

using dravix::MouseButton;
using dravix::fltk::mouseButtonFromFltk;
using dravix::fltk::virtualKeyFromFltk;

TEST(VirtualKeys, ArrowsAreTheNudgeKeys) {
    EXPECT_EQ(virtualKeyFromFltk(FL_Left), 37);
    EXPECT_EQ(virtualKeyFromFltk(FL_Up), 38);
    EXPECT_EQ(virtualKeyFromFltk(FL_Right), 39);
    EXPECT_EQ(virtualKeyFromFltk(FL_Down), 40);
}

TEST(VirtualKeys, LettersInEitherCaseAndDigits) {
    for (int offset = 0; offset < 26; ++offset) {
        EXPECT_EQ(virtualKeyFromFltk('a' + offset), 65 + offset);
        EXPECT_EQ(virtualKeyFromFltk('A' + offset), 65 + offset);
    }
    for (int digit = 0; digit < 10; ++digit) {
        EXPECT_EQ(virtualKeyFromFltk('0' + digit), 48 + digit);
        EXPECT_EQ(virtualKeyFromFltk(FL_KP + '0' + digit), 96 + digit) << "keypad " << digit;
    }
}

TEST(VirtualKeys, FunctionKeysCoverF1ToF24Only) {
    EXPECT_EQ(virtualKeyFromFltk(FL_F + 1), 112);
    EXPECT_EQ(virtualKeyFromFltk(FL_F + 12), 123);
    EXPECT_EQ(virtualKeyFromFltk(FL_F + 24), 135);
    EXPECT_EQ(virtualKeyFromFltk(FL_F), 0);
    EXPECT_EQ(virtualKeyFromFltk(FL_F + 25), 0);
}

TEST(VirtualKeys, EditingAndModifierKeys) {
    // The codes a Windows program sees for the same keys.
    const std::pair<int, int> expected[] = {
        {FL_BackSpace, 8},  {FL_Tab, 9},        {FL_Enter, 13},
        {FL_KP_Enter, 13},  {FL_Shift_L, 16},   {FL_Shift_R, 16},
        {FL_Control_L, 17}, {FL_Control_R, 17}, {FL_Alt_L, 18},
        {FL_Alt_R, 18},     {FL_Pause, 19},     {FL_Caps_Lock, 20},
        {FL_Escape, 27},    {' ', 32},          {FL_Page_Up, 33},
        {FL_Page_Down, 34}, {FL_End, 35},       {FL_Home, 36},
        {FL_Print, 44},     {FL_Insert, 45},    {FL_Delete, 46},
        {FL_Meta_L, 91},    {FL_Menu, 93},      {FL_KP + '*', 106},
        {FL_KP + '+', 107}, {FL_KP + '-', 109}, {FL_KP + '.', 110},
        {FL_KP + '/', 111}, {FL_Num_Lock, 144}, {FL_Scroll_Lock, 145},
        {';', 186},         {'=', 187},         {',', 188},
        {'-', 189},         {'.', 190},         {'/', 191},
        {'`', 192},         {'[', 219},         {'\\', 220},
        {']', 221},         {'\'', 222},
    };
    for (const auto& [key, virtualKey] : expected)
        EXPECT_EQ(virtualKeyFromFltk(key), virtualKey) << "FLTK key 0x" << std::hex << key;
}

TEST(VirtualKeys, KeysWithoutACodeGiveZero) {
    EXPECT_EQ(virtualKeyFromFltk(0), 0);
    EXPECT_EQ(virtualKeyFromFltk(0xfe03), 0); // ISO_Level3_Shift, AltGr on many layouts
    EXPECT_EQ(virtualKeyFromFltk(0xe9), 0);   // Latin-1 e acute, a key of its own on some layouts
    EXPECT_EQ(virtualKeyFromFltk(FL_Button + 1), 0);
}

TEST(MouseButtons, FltkOrderBecomesLeftRightMiddle) {
    EXPECT_EQ(mouseButtonFromFltk(FL_LEFT_MOUSE), MouseButton::left);
    EXPECT_EQ(mouseButtonFromFltk(FL_RIGHT_MOUSE), MouseButton::right);
    EXPECT_EQ(mouseButtonFromFltk(FL_MIDDLE_MOUSE), MouseButton::middle);
    // Side buttons (back and forward) arrive as presses of buttons 8 and 9.
    EXPECT_FALSE(mouseButtonFromFltk(8));
    EXPECT_FALSE(mouseButtonFromFltk(0));
}

} // namespace
