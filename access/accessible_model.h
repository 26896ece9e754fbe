#pragma once

#include "platform/accessible.h"
#include "platform/window_port.h"
#include "scene/scene.h"
#include "state/stored_files.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace dravix {

inline constexpr std::string_view emptySlotName = "Empty slot";
inline constexpr int noFocusedSlot = -1; // the toggle has the focus

// What the window holds for a screen reader: the toggle, and while the strip is open the ten
// slots in order, each a push button named as its slot is named. Derived afresh from the strip's
// state and the slot records at every look; the changes between two looks are the events a
// backend passes on.
class AccessibleModel {
public:
    // The toggle is named after the program.
    AccessibleModel(const Scene& scene, std::string toggleName);

    // The nodes as they stand, placed on the screen from the window's geometry and scale.
    std::vector<AccessibleNode> nodes(bool open, int focusedSlot, const SlotRecords& records,
                                      const WindowGeometry& window, int scale) const;

    // What changed since the last call, in the order a reader should hear it: the nodes, the
    // toggle's state, the renamed slots, then the focus. The first call compares with the
    // closed strip, empty slots and the focus on the toggle.
    std::vector<AccessibleEvent> changesTo(bool open, int focusedSlot, const SlotRecords& records);

private:
    ScreenRect onScreen(ElementIndex element, const WindowGeometry& window, int scale) const;

    const Scene& scene_;
    std::string toggleName_;
    ElementIndex toggle_;
    std::array<ElementIndex, slotCount> buttons_{};
    // What the last look saw.
    bool open_ = false;
    int focusedSlot_ = noFocusedSlot;
    SlotRecords records_;
};

// A slot's node name: its display name, its path when the name is empty, or "Empty slot" and
// its number.
std::string accessibleSlotName(int slot, const SlotRecord& record);

// The slot Tab (forward) or Shift+Tab moves the focus to: round the ten slots, the first Tab to
// slot 0 and the first Shift+Tab to slot 9.
int nextFocusedSlot(int focusedSlot, bool forward);

// The text as valid UTF-8 without NUL bytes, each byte that is not part of a valid sequence
// replaced by U+FFFD: screen-reader buses refuse anything else.
std::string validUtf8(std::string_view text);

} // namespace dravix
