#pragma once

#include "app/scene.h"
#include "platform/desktop.h"
#include "state/stored_files.h"

#include <array>
#include <functional>
#include <string>

namespace dravix {

// The ten slot buttons: pressed pictures, starting a slot's file and assigning a file to a
// slot. Every slot touches only its own button and record; a save writes all ten.
class SlotButtons {
public:
    SlotButtons(Desktop& desktop, Scene& scene, StoredFiles& storedFiles,
                std::function<void()> startClosing);

    SlotRecords& records() { return records_; }
    const SlotRecords& records() const { return records_; }
    // The button element of a slot, for routing the pointer.
    ElementIndex button(int slot) const { return buttons_[slot]; }
    // The slot whose button that is, or -1.
    int slotOfButton(ElementIndex element) const;

    // kn0MouseDown .. kn9MouseDown, one operation for ten slots.
    void knMouseDown(int slot, MouseButton button);
    // kn0MouseUp .. kn9MouseUp: left starts the file, right chooses a new one.
    void knMouseUp(int slot, MouseButton button);

    // The file name the open-file dialog shows next; shared by all slots for the whole run.
    const std::string& dialogFileName() const { return dialogFileName_; }

private:
    void launch(int slot);
    void assign(int slot);

    Desktop& desktop_;
    Scene& scene_;
    StoredFiles& storedFiles_;
    std::function<void()> startClosing_;
    std::array<ElementIndex, slotCount> buttons_{};
    SlotRecords records_;
    std::string dialogFileName_;
};

} // namespace dravix
