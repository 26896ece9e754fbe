#pragma once

#include "platform/window_port.h"

#include <string>
#include <vector>

// What a screen reader finds in the window: the nodes the core derives from the strip and the
// slots, the changes a backend passes on, and the node numbers both sides share.
namespace dravix {

// Node 0 is the toggle; node 1 + N is slot N, present only while the strip is open.
inline constexpr int accessibleToggle = 0;
inline constexpr int accessibleSlotNode(int slot) {
    return slot + 1;
}

// Every node is a push button; its name, description and shortcut are valid UTF-8.
struct AccessibleNode {
    int id = accessibleToggle;
    std::string name;
    std::string description; // a slot's full path; empty for the toggle and an empty slot
    std::string shortcut;    // the key that presses it: a slot's digit
    ScreenRect extents;      // screen pixels
    bool expandable = false; // the toggle: the strip opens and closes
    bool expanded = false;
    bool focused = false;

    friend bool operator==(const AccessibleNode&, const AccessibleNode&) = default;
};

// What changed since the backend last heard: the set of nodes (the strip opened or closed), a
// node's name or description (a slot was assigned), its state (open or closed), the focus.
enum class AccessibleChange { children, name, state, focus };

struct AccessibleEvent {
    AccessibleChange change = AccessibleChange::children;
    int node = accessibleToggle;

    friend bool operator==(const AccessibleEvent&, const AccessibleEvent&) = default;
};

// The window's side, as a backend's screen-reader bridge reads and presses it.
class AccessibleSource {
public:
    virtual ~AccessibleSource() = default;
    // The toggle first, then the slots in order.
    virtual std::vector<AccessibleNode> accessibleNodes() const = 0;
    // Does what a left click on the node does; a node that is gone does nothing.
    virtual void accessiblePress(int node) = 0;
};

} // namespace dravix
