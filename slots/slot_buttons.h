#pragma once

#include "platform/system_port.h"
#include "platform/window_port.h"
#include "scene/scene.h"
#include "state/stored_files.h"

#include <array>
#include <deque>
#include <stdexcept>
#include <string>

namespace dravix {

// A slot's file that cannot be kept (a path the slot list file could not hold as it is) or cannot
// be started. Its text is shown to the user.
class SlotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a release on a slot did, for the window to follow up: launchPending means the system
// answers later whether the file started.
enum class SlotRelease { nothing, launched, launchPending };

// The ten slot buttons: pressed pictures, starting a slot's file and assigning a file to a
// slot. Every slot touches only its own button and record; a save writes all ten.
class SlotButtons {
public:
    // The records belong to the window; assigning a file changes them and saves them.
    SlotButtons(WindowPort& window, SystemPort& system, Scene& scene, StoredFiles& storedFiles,
                SlotRecords& records);

    // The slot whose button that is, or -1.
    int slotOfButton(ElementIndex element) const;

    // kn0MouseDown .. kn9MouseDown, one operation for ten slots.
    void knMouseDown(int slot, MouseButton button);
    // kn0MouseUp .. kn9MouseUp: left starts the file, right chooses a new one; a slot whose start
    // is pending starts nothing. Throws FileError
    // for a file that is not there or a failing save, SlotError for a file that cannot be
    // started or a chosen path that cannot be kept.
    SlotRelease knMouseUp(int slot, MouseButton button);
    // A digit key on the open strip: the slot starts as on a left release of its button.
    SlotRelease startByKey(int slot);
    // The press ended without a release (another window took the pointer): the button looks
    // released and nothing happens.
    void knPressCancelled(int slot);
    // A file dropped on the slot is assigned as if it had been chosen in the dialog.
    void assignDropped(int slot, std::string path);
    // The system answered a pending start (started or failed). Answers carry no slot; they are
    // taken to come in the order of the starts.
    void launchAnswered();

private:
    SlotRelease launch(int slot);
    void assign(int slot);
    void assignPath(int slot, std::string path);

    WindowPort& window_;
    SystemPort& system_;
    Scene& scene_;
    StoredFiles& storedFiles_;
    SlotRecords& records_;
    std::array<ElementIndex, slotCount> buttons_{};
    // The slots whose starts are pending, oldest first: they take no second start meanwhile.
    std::deque<int> pending_;
    // The file name the open-file dialog shows next; shared by all slots for the whole run.
    std::string dialogFileName_;
};

} // namespace dravix
