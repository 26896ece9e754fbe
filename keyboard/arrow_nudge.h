#pragma once

namespace dravix {

enum VirtualKey { vkLeft = 37, vkUp = 38, vkRight = 39, vkDown = 40 };

// A move of the strip in screen pixels.
struct Nudge {
    int dx = 0;
    int dy = 0;

    friend bool operator==(const Nudge&, const Nudge&) = default;
};

// The one-pixel move an arrow key asks for; any other key asks for none.
Nudge nudgeFor(int key);

} // namespace dravix
