#pragma once

#include "platform/window_port.h"

#include <string>

namespace dravix {

// The full path of the slot the pointer rests on, in a tip beside the strip: six glyph cells
// cannot tell notes_2024 from notes_2025.
class SlotTip {
public:
    static constexpr int restTicks = 7; // 0.7 s of 100 ms ticks

    explicit SlotTip(WindowPort& window) : window_(window) {}

    // The pointer moved over this slot (-1 for none), which holds this path; its tip would go
    // at that place.
    void pointerOver(int slot, const std::string& path, Place at);
    // One tick of rest: the tip shows once the pointer has rested long enough on a slot that
    // holds a file.
    void tick();
    // Takes the tip away; it shows again only after another full rest.
    void hide();
    // Whether the pointer rests on a slot whose tip is not shown yet: the ticks count the rest.
    bool waiting() const { return !shown_ && !path_.empty(); }

private:
    WindowPort& window_;
    int slot_ = -1;
    std::string path_;
    Place at_;
    int restedTicks_ = 0;
    bool shown_ = false;
};

} // namespace dravix
