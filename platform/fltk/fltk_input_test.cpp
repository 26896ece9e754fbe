#include "platform/fltk/fltk_input.h"

#include <FL/Enumerations.H>
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace {

using dravix::MouseButton;
using dravix::fltk::firstDroppedFile;
using dravix::fltk::keyCodeFromFltk;
using dravix::fltk::mouseButtonFromFltk;

TEST(KeyCodes, ArrowsEscapeAndDigitsGetTheirWindowsCodes) {
    const struct {
        int fltkKey;
        int code;
    } keys[] = {
        {FL_Left, 37},       {FL_Up, 38},         {FL_Right, 39},  {FL_Down, 40},
        {FL_Escape, 27},     {'0', 0x30},         {'9', 0x39},     {FL_KP + '0', 0x60},
        {FL_KP + '7', 0x67}, {FL_KP + '9', 0x69}, {FL_Tab, 9},     {FL_Enter, 13},
        {FL_KP_Enter, 13},   {' ', 32},           {0xfe20, 0x109},
    };
    for (const auto& key : keys)
        EXPECT_EQ(keyCodeFromFltk(key.fltkKey), key.code)
            << "FLTK key 0x" << std::hex << key.fltkKey;
    EXPECT_EQ(keyCodeFromFltk(FL_Tab, true), 0x109) << "Shift+Tab";
    EXPECT_EQ(keyCodeFromFltk('3', true), 0x33) << "Shift changes no other key";
    EXPECT_NE(keyCodeFromFltk('/'), 0x2f) << "the key before 0 is no digit";
    EXPECT_NE(keyCodeFromFltk(':'), 0x3a) << "the key after 9 is no digit";
    EXPECT_NE(keyCodeFromFltk(FL_KP + '/'), 0x5f);
    EXPECT_GE(keyCodeFromFltk(FL_KP + ':'), 0x10000);
}

TEST(KeyCodes, EveryOtherKeyHasANonArrowCodeOfItsOwn) {
    const int keys[] = {
        'a',
        '&',         // the 1 key on AZERTY, whose character code equals the up arrow's
        '(',         // the 5 key on AZERTY, the down arrow's
        0xe9,        // e acute, a key of its own on French layouts
        0x10020ac,   // a Unicode keysym, here the euro sign
        FL_KP + '4', // keypad 4 with NumLock on
        FL_Shift_L,  // a modifier on its own
        0xfe03,      // ISO_Level3_Shift, AltGr on many layouts
        0,           // a key with no symbol in the keymap
    };
    std::set<int> codes;
    for (const int key : keys) {
        const int code = keyCodeFromFltk(key);
        EXPECT_NE(code, 0) << "FLTK key 0x" << std::hex << key;
        EXPECT_TRUE(code < 37 || code > 40) << "FLTK key 0x" << std::hex << key;
        codes.insert(code);
    }
    EXPECT_EQ(codes.size(), std::size(keys)) << "two keys share a code";
}

TEST(MouseButtons, FltkOrderBecomesLeftRightMiddle) {
    EXPECT_EQ(mouseButtonFromFltk(FL_LEFT_MOUSE), MouseButton::left);
    EXPECT_EQ(mouseButtonFromFltk(FL_RIGHT_MOUSE), MouseButton::right);
    EXPECT_EQ(mouseButtonFromFltk(FL_MIDDLE_MOUSE), MouseButton::middle);
    // Side buttons (back and forward) arrive as presses of buttons 8 and 9.
    EXPECT_FALSE(mouseButtonFromFltk(8));
    EXPECT_FALSE(mouseButtonFromFltk(0));
}

// A file manager sends text/uri-list: CR LF lines, comments, escaped bytes, sometimes other
// schemes or files of other machines first.
TEST(DroppedFiles, TheFirstLocalFileOfTheListIsDecodedOnce) {
    const struct {
        std::string list;
        std::optional<std::string> path;
    } cases[] = {
        {"file:///home/me/My%20Notes%2541.txt\r\n", "/home/me/My Notes%41.txt"},
        {"file:///tmp/caf%C3%A9", "/tmp/caf\xC3\xA9"},
        {"# a comment\r\nhttps://example.org/x\r\nfile:///a\r\nfile:///b\r\n", "/a"},
        {"FILE://localhost/srv/x\n", "/srv/x"},
        {"file:/one/slash", "/one/slash"},
        {"file://server/share/x\r\nfile:///mine\r\n", "/mine"},
        {"file:///bad%2\r\nfile:///bad%zz\r\nfile:///bad%z1\r\nfile:///bad%1z\r\nfile:///"
         "nul%00\r\nfile:///good",
         "/good"},
        {std::string("file:///raw\0nul\r\nfile:///after", 30), "/after"},
        {std::string("file:///raw\0nul", 15), std::nullopt},
        {"file://server/share/x", std::nullopt},
        {"file://localhost.example.org/x\r\nfile://localhostx/y\r\nfile:///z", "/z"},
        {"file:relative/x\r\nfile://localhost\r\nfile:///%41%3a%3A%6F%6f", "/A::oo"},
        {"relative/path\r\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& drop : cases)
        EXPECT_EQ(firstDroppedFile(drop.list), drop.path) << drop.list;
    // Some senders end the list with a NUL, which is no part of the path.
    EXPECT_EQ(firstDroppedFile(std::string_view("file:///nul\0", 12)), "/nul");
}

} // namespace
