#include "access/accessible_model.h"

#include "state/utf8.h"

#include <cassert>
#include <utility>

namespace dravix {
namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at the start of the text, or 0; a NUL byte, which the
// accessibility buses refuse, counts as invalid too.
std::size_t validSequenceLength(std::string_view text) {
    return text.front() == '\0' ? 0 : utf8SequenceLength(text);
}

} // namespace

std::string validUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = validSequenceLength(text);
        if (length == 0) {
            valid += replacementCharacter;
            text.remove_prefix(1);
            continue;
        }
        valid += text.substr(0, length);
        text.remove_prefix(length);
    }
    return valid;
}

std::string accessibleSlotName(int slot, const SlotRecord& record) {
    if (!record.name.empty())
        return validUtf8(record.name);
    if (!record.path.empty())
        return validUtf8(record.path);
    return std::string(emptySlotName) + " " + std::to_string(slot);
}

int nextFocusedSlot(int focusedSlot, bool forward) {
    if (focusedSlot == noFocusedSlot)
        return forward ? 0 : slotCount - 1;
    return (focusedSlot + (forward ? 1 : slotCount - 1)) % slotCount;
}

AccessibleModel::AccessibleModel(const Scene& scene, std::string toggleName)
    : scene_(scene), toggleName_(std::move(toggleName)), toggle_(scene.find("ProcBMP")) {
    for (int slot = 0; slot < slotCount; ++slot)
        buttons_[slot] = scene.find("kn" + std::to_string(slot));
}

ScreenRect AccessibleModel::onScreen(ElementIndex element, const WindowGeometry& window,
                                     int scale) const {
    const Element& shown = scene_.element(element);
    int left = shown.left;
    int top = shown.top;
    if (shown.parent != noElement) {
        left += scene_.element(shown.parent).left;
        top += scene_.element(shown.parent).top;
    }
    return {saturatingAdd(window.left, left * scale), saturatingAdd(window.top, top * scale),
            shown.width * scale, shown.height * scale};
}

std::vector<AccessibleNode> AccessibleModel::nodes(bool open, int focusedSlot,
                                                   const SlotRecords& records,
                                                   const WindowGeometry& window, int scale) const {
    std::vector<AccessibleNode> nodes;
    AccessibleNode toggle;
    toggle.id = accessibleToggle;
    toggle.name = toggleName_;
    toggle.extents = onScreen(toggle_, window, scale);
    toggle.expandable = true;
    toggle.expanded = open;
    toggle.focused = !open || focusedSlot == noFocusedSlot;
    nodes.push_back(std::move(toggle));
    if (!open)
        return nodes;
    for (int slot = 0; slot < slotCount; ++slot) {
        AccessibleNode node;
        node.id = accessibleSlotNode(slot);
        node.name = accessibleSlotName(slot, records[slot]);
        node.description = validUtf8(records[slot].path);
        node.shortcut = std::to_string(slot);
        node.extents = onScreen(buttons_[slot], window, scale);
        node.focused = focusedSlot == slot;
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<AccessibleEvent> AccessibleModel::changesTo(bool open, int focusedSlot,
                                                        const SlotRecords& records) {
    assert(focusedSlot >= noFocusedSlot && focusedSlot < slotCount && "slot number out of range");
    std::vector<AccessibleEvent> events;
    if (open != open_) {
        events.push_back({AccessibleChange::children, accessibleToggle});
        events.push_back({AccessibleChange::state, accessibleToggle});
    }
    // A closed strip has no slot nodes to rename; the new names are read when it opens.
    for (int slot = 0; slot < slotCount; ++slot) {
        if (records[slot] == records_[slot])
            continue;
        records_[slot] = records[slot];
        if (open && open_)
            events.push_back({AccessibleChange::name, accessibleSlotNode(slot)});
    }
    const int focused = open ? focusedSlot : noFocusedSlot;
    if (focused != focusedSlot_) {
        events.push_back({AccessibleChange::focus, focused == noFocusedSlot
                                                       ? accessibleToggle
                                                       : accessibleSlotNode(focused)});
    }
    open_ = open;
    focusedSlot_ = focused;
    return events;
}

} // namespace dravix
