#include "slots/slot_buttons.h"

#include "slots/slot_paths.h"
#include "state/text_file.h"

#include <algorithm>
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
// byte 26, so such a path could not be read back as it was chosen; no system takes a NUL byte in
// a path, so such a path names no file at all.
bool storable(std::string_view path) {
    return path.find_first_of(std::string_view("\r\n\x1a\0", 4)) == path.npos;
}

} // namespace

SlotButtons::SlotButtons(WindowPort& window, SystemPort& system, Scene& scene,
                         StoredFiles& storedFiles, SlotRecords& records)
    : window_(window), system_(system), scene_(scene), storedFiles_(storedFiles),
      records_(records) {
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

// A left release counts as a launch once the system has taken the request, so the strip closes
// then.
SlotRelease SlotButtons::knMouseUp(int slot, MouseButton button) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    scene_.takePicture(buttons_[slot], normalPicture(slot));
    if (button == MouseButton::right)
        assign(slot);
    if (button != MouseButton::left)
        return SlotRelease::nothing;
    return launch(slot);
}

// An empty slot starts nothing and still counts as a launch. A file that is gone or cannot be
// started ends the release with an error, so the strip stays open for another try.
SlotRelease SlotButtons::launch(int slot) {
    const std::string& path = records_[slot].path;
    if (path.empty())
        return SlotRelease::launched;
    // A second click or key while the first start is still being answered is the same intent.
    if (std::find(pending_.begin(), pending_.end(), slot) != pending_.end())
        return SlotRelease::nothing;
    if (path.find('\0') != std::string::npos)
        throw SlotError("A path with a NUL byte cannot be started");
    if (!system_.exists(path))
        throw FileError("File not found");
    const LaunchOutcome outcome =
        system_.launch(path, workingFolderOf(path, system_.pathSeparator()));
    switch (outcome.state) {
    case LaunchOutcome::State::started:
        return SlotRelease::launched;
    case LaunchOutcome::State::pending:
        pending_.push_back(slot);
        return SlotRelease::launchPending;
    case LaunchOutcome::State::notFound:
        throw FileError("File not found");
    case LaunchOutcome::State::failed:
        break;
    }
    throw SlotError(path + ": " + outcome.reason);
}

SlotRelease SlotButtons::startByKey(int slot) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    return launch(slot);
}

void SlotButtons::knPressCancelled(int slot) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    scene_.takePicture(buttons_[slot], normalPicture(slot));
}

void SlotButtons::assign(int slot) {
    std::optional<std::string> chosen = window_.chooseFile(dialogFileName_);
    if (chosen)
        assignPath(slot, std::move(*chosen));
}

void SlotButtons::assignDropped(int slot, std::string path) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    assignPath(slot, std::move(path));
}

void SlotButtons::assignPath(int slot, std::string path) {
    if (!storable(path))
        throw SlotError(
            "A path with a line break, a NUL byte or a Ctrl-Z byte cannot be kept in a slot");
    dialogFileName_ = path;
    std::string name = displayNameOf(path, system_.pathSeparator());
    storedFiles_.assignSlot(records_, slot, {std::move(path), std::move(name)});
}

void SlotButtons::launchAnswered() {
    if (!pending_.empty())
        pending_.pop_front();
}

} // namespace dravix
