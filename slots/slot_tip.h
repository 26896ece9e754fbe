#pragma once

#include "platform/window_port.h"

#include <functional>
#include <string>

namespace dravix {

// What a tip says and where its top-left corner goes, in screen pixels.
struct TipLayout {
    std::string text;
    Place at;
};

// The tip of a path beside the strip, level with rowTop: on the right of the strip when the whole
// path fits there, else on the left when it fits there, else on the roomier side, where the
// middle of the path's folders gives way to "..." until it fits and the file name stays whole
// (a name too long on its own loses its middle too). When neither side has a third of the work
// area, the tip lies over the strip from the work area's left edge. It is never wider than the
// work area and always lies whole on it. `measure` gives a tip's size for a text.
TipLayout layOutTip(const std::string& path, char separator, const ScreenRect& strip, int rowTop,
                    const ScreenRect& workArea,
                    const std::function<PixelSize(const std::string&)>& measure);

// The full path of the slot the pointer rests on, in a tip beside the strip: six glyph cells
// cannot tell notes_2024 from notes_2025.
class SlotTip {
public:
    static constexpr int restTicks = 7; // 0.7 s of 100 ms ticks

    SlotTip(WindowPort& window, char separator) : window_(window), separator_(separator) {}

    // The pointer moved over this slot (-1 for none), which holds this path; the slot's button
    // starts rowOffset of the program's pixels below the window's top.
    void pointerOver(int slot, const std::string& path, int rowOffset);
    // One tick of rest: the tip shows beside the window as it is now (the open strip) once the
    // pointer has rested long enough on a slot that holds a file.
    void tick();
    // Takes the tip away; it shows again only after another full rest.
    void hide();
    // Whether the pointer rests on a slot whose tip is not shown yet: the ticks count the rest.
    bool waiting() const { return !shown_ && !path_.empty(); }

private:
    WindowPort& window_;
    char separator_;
    int slot_ = -1;
    std::string path_;
    int rowOffset_ = 0;
    int restedTicks_ = 0;
    bool shown_ = false;
};

} // namespace dravix
