#pragma once

#include <optional>

namespace dravix {

// The Windows virtual-key codes the window tells apart; every backend delivers keys in them.
enum VirtualKey {
    vkTab = 9,
    vkReturn = 13,
    vkEscape = 27,
    vkSpace = 32,
    vkLeft = 37,
    vkUp = 38,
    vkRight = 39,
    vkDown = 40,
    vkDigit0 = 0x30,  // '0' to '9' on the top row
    vkNumpad0 = 0x60, // 0 to 9 on the keypad with NumLock on
    // Tab with Shift held: a code of its own, above every virtual-key code, as Windows tells the
    // two apart only by the state of Shift.
    vkShiftTab = 0x100 | vkTab
};

// A move of the strip in screen pixels.
struct Nudge {
    int dx = 0;
    int dy = 0;

    friend bool operator==(const Nudge&, const Nudge&) = default;
};

// The one-pixel move an arrow key asks for; any other key asks for none.
Nudge nudgeFor(int key);

// The slot a digit key starts, 0 to 9 from the top row or the keypad; nothing for other keys.
std::optional<int> slotForKey(int key);

} // namespace dravix
