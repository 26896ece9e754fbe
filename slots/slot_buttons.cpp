#include "slots/slot_buttons.h"

#include "slots/slot_paths.h"

#include <cassert>
#include <string>
#include <utility>

namespace dravix {
namespace {

std::string normalPicture(int slot) {
    return "kk" + std::to_string(slot);
}
std::string pressedPicture(int slot) {
    return "kk2" + std::to_string(slot);
}

// The slot list file keeps one path a line, and its reader drops lone CRs and stops a value at
// byte 26, so such a path could not be read back as it was chosen.
bool storable(std::string_view path) {
    return path.find_first_of("\r\n\x1a") == path.npos;
}

} // namespace

SlotButtons::SlotButtons(Desktop& desktop, Scene& scene, StoredFiles& storedFiles,
                         SlotRecords& records)
    : desktop_(desktop), scene_(scene), storedFiles_(storedFiles), records_(records) {
    for (int slot = 0; slot < slotCount; ++slot)
        buttons_[slot] = scene.find("kn" + std::to_string(slot));
}

int SlotButtons::slotOfButton(ElementIndex element) const {
    for (int slot = 0; slot < slotCount; ++slot) {
        if (buttons_[slot] == element)
            return slot;
    }
    return -1;
}

void SlotButtons::knMouseDown(int slot, MouseButton) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    scene_.takePicture(buttons_[slot], pressedPicture(slot));
}

// A left release counts as a launch whatever became of the request, so the strip closes after
// every one.
SlotRelease SlotButtons::knMouseUp(int slot, MouseButton button) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    scene_.takePicture(buttons_[slot], normalPicture(slot));
    if (button == MouseButton::right)
        assign(slot);
    if (button != MouseButton::left)
        return SlotRelease::nothing;
    launch(slot);
    return SlotRelease::launched;
}

void SlotButtons::launch(int slot) {
    const std::string& path = records_[slot].path;
    if (!path.empty())
        desktop_.launch(path, workingFolderOf(path, desktop_.pathSeparator()));
}

void SlotButtons::assign(int slot) {
    std::optional<std::string> chosen = desktop_.chooseFile(dialogFileName_);
    if (!chosen)
        return;
    if (!storable(*chosen))
        throw UnstorablePathError("A path with a line break or a Ctrl-Z byte cannot be kept in a "
                                  "slot");
    dialogFileName_ = *chosen;
    SlotRecord& record = records_[slot];
    record.path = std::move(*chosen);
    record.name = displayNameOf(record.path, desktop_.pathSeparator());
    storedFiles_.writeSlotList(records_);
}

} // namespace dravix
