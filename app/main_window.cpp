#include "app/main_window.h"

#include "state/text_file.h"

#include <optional>

namespace dravix {

std::string errorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

TForm1::TForm1(WindowPort& window, SystemPort& system)
    : window_(window), storedFiles_(system), strip_(window, system, scene_),
      slots_(window, system, scene_, storedFiles_, slotRecords_), glyphs_(scene_),
      tip_(window, system.pathSeparator()), toggle_(scene_.find("ProcBMP")),
      accessible_(scene_, applicationTitle) {
    window_.setGeometry(creationGeometry);
}

// Only the first activation loads; later ones (back from a dialog or another program) do
// nothing.
void TForm1::activate() {
    if (activated_)
        return;
    activated_ = true;
    // A failed load shows its box only once the strip rests where it stays, so that the box
    // opens beside the strip rather than beside a place it is about to leave.
    std::optional<std::string> loadError;
    runHandler([&] {
        try {
            FormActivate();
        } catch (const FileError& error) {
            loadError = error.what();
        } catch (const SlotError& error) {
            loadError = error.what();
        }
    });
    runHandler([this] { keepStripWhole(); });
    if (loadError) {
        showErrorBox(*loadError);
        askForTicksAsNeeded();
    }
}

// Wherever the load left the window (a stored place, or the creation place when it failed), the
// open strip must be whole on the screen; the texts then name the new place, so the exit saves
// where the strip really is.
void TForm1::keepStripWhole() {
    if (strip_.keepWhole())
        position_ = positionTextOf(strip_.restingPlace());
}

void TForm1::FormActivate() {
    WindowGeometry window = window_.geometry();
    window.width = shape::closedWidth;
    window.height = shape::closedHeight;
    window_.setGeometry(window);

    // Each stored file on its own: a list that failed neither moves the strip nor costs the
    // stored place at the exit. The list's failure is the one shown; the position's shows only
    // when the list was read.
    std::optional<FileError> listError;
    try {
        storedFiles_.readSlotList(slotRecords_);
    } catch (const FileError& error) {
        listError = error;
    }
    try {
        const Position stored = storedFiles_.readPosition(position_);
        window = window_.geometry();
        window.top = stored.top;
        window.left = stored.left;
        window_.setGeometry(window);
    } catch (const FileError&) {
        if (!listError)
            throw;
    }
    if (listError)
        throw *listError;
}

// The list on disk may have changed while the strip was closed (another strip on the same
// folder, a hand edit): an opening shows it as it is now.
void TForm1::refreshIfOpened(PanelOpen before) {
    if (before == PanelOpen::closed && strip_.panelOpen() == PanelOpen::open)
        storedFiles_.refreshSlotList(slotRecords_);
}

void TForm1::mouseDown(int x, int y, MouseButton button) {
    tip_.hide();
    runHandler(
        [&] { deliverDown(pointer_.down(elementAt(x, y), button), button, onScreen(x, y)); });
}

void TForm1::mouseMove(int x, int y) {
    if (strip_.dragging()) {
        runHandler([&] { strip_.dragTo(onScreen(x, y)); });
        return;
    }
    runHandler([&] {
        const ElementIndex underPointer = elementAt(x, y);
        followWithTip(underPointer);
        deliverMove(pointer_.move(underPointer));
    });
}

// The tip goes beside the open strip, level with the slot's button (slot_tip.h).
void TForm1::followWithTip(ElementIndex underPointer) {
    const int slot = slots_.slotOfButton(underPointer);
    if (slot < 0) {
        tip_.pointerOver(slot, {}, 0);
        return;
    }
    const Element& button = scene_.element(underPointer);
    tip_.pointerOver(slot, slotRecords_[slot].path, scene_.element(button.parent).top + button.top);
}

// Only a move onto a slot shows a tip again.
void TForm1::pointerLeft() {
    tip_.pointerOver(-1, {}, 0);
    askForTicksAsNeeded();
}

void TForm1::mouseUp(int x, int y, MouseButton button) {
    if (button == MouseButton::middle)
        strip_.endDrag();
    runHandler([&] { deliverUp(pointer_.up(elementAt(x, y), button), button); });
}

Place TForm1::onScreen(int x, int y) const {
    const WindowGeometry window = window_.geometry();
    const int scale = window_.scale();
    return {saturatingAdd(window.left, x * scale), saturatingAdd(window.top, y * scale)};
}

void TForm1::keyDown(int virtualKey) {
    runHandler([&] { FormKeyDown(virtualKey); });
}

// Every key records the resting place as text, an arrow key after moving the strip by a pixel.
// While the strip is open or opening, a digit starts its slot as a click would and Escape closes
// the strip.
void TForm1::FormKeyDown(int key) {
    const Nudge nudge = nudgeFor(key);
    if (nudge != Nudge{})
        strip_.nudge(nudge.dx, nudge.dy);
    position_ = positionTextOf(strip_.restingPlace());
    if (strip_.panelOpen() != PanelOpen::open)
        return;
    keyOnOpenStrip(key);
}

// Escape closes the strip, a digit starts its slot; Tab and Shift+Tab move the focus round the
// slots, shown as a hover shows a slot, and Enter or Space starts the focused one.
void TForm1::keyOnOpenStrip(int key) {
    if (key == vkEscape) {
        strip_.startClosing();
        return;
    }
    if (key == vkTab || key == vkShiftTab) {
        focusedSlot_ = nextFocusedSlot(focusedSlot_, key == vkTab);
        glyphs_.knMouseMove(focusedSlot_, slotRecords_);
        return;
    }
    if ((key == vkReturn || key == vkSpace) && focusedSlot_ != noFocusedSlot) {
        afterLaunch(slots_.startByKey(focusedSlot_));
        return;
    }
    if (const std::optional<int> slot = slotForKey(key))
        afterLaunch(slots_.startByKey(*slot));
}

// The strip closes once the system has taken the launch; a pending one closes it when its start
// is reported, unless the strip was closed meanwhile.
void TForm1::afterLaunch(SlotRelease release) {
    if (release == SlotRelease::launched)
        strip_.startClosing();
    if (release == SlotRelease::launchPending)
        closeWhenStarted_ = true;
}

// The tip stays only while the strip is open; it goes as soon as the strip starts to close. A tick
// that comes while a handler runs comes from under a box or dialog that handler opened: no tip
// shows over it.
void TForm1::tick() {
    const bool boxUp = handlersRunning_ > 0;
    runHandler([this, boxUp] {
        strip_.cyberTimer();
        if (strip_.panelOpen() == PanelOpen::open && !boxUp)
            tip_.tick();
        else
            tip_.hide();
    });
}

void TForm1::fileDropped(int x, int y, const std::string& path) {
    runHandler([&] {
        const int slot = slots_.slotOfButton(elementAt(x, y));
        if (slot >= 0)
            slots_.assignDropped(slot, path);
    });
}

// Another window took the pointer: the press ends as if nothing had been held, so no slot
// launches on a release that comes later.
void TForm1::captureLost() {
    tip_.hide();
    strip_.endDrag();
    runHandler([this] {
        const int slot = slots_.slotOfButton(pointer_.cancel());
        if (slot >= 0)
            slots_.knPressCancelled(slot);
    });
}

void TForm1::launchStarted() {
    slots_.launchAnswered();
    runHandler([this] {
        if (closeWhenStarted_)
            strip_.startClosing();
    });
}

// The box presents what changed before it opens; a handler that runs while it is up presents its
// own change.
void TForm1::launchFailed(const std::string& reason) {
    slots_.launchAnswered();
    showErrorBox(reason);
}

// A second start is the desktop's shortcut to the strip: it does what a left press on the toggle
// does now, nothing during a slide included.
void TForm1::anotherStart() {
    tip_.hide();
    runHandler([this] {
        const PanelOpen before = strip_.panelOpen();
        strip_.ProcBMPMouseDown(MouseButton::left, strip_.restingPlace());
        refreshIfOpened(before);
    });
}

std::vector<AccessibleNode> TForm1::accessibleNodes() const {
    return accessible_.nodes(strip_.panelOpen() == PanelOpen::open, focusedSlot_, slotRecords_,
                             window_.geometry(), window_.scale());
}

// A press on the toggle is a left press on it, a press on a slot of the open strip its left
// release: the strip opens, closes and launches exactly as for a click.
void TForm1::accessiblePress(int node) {
    // Under a box or dialog the window takes no input, from a screen reader neither.
    if (handlersRunning_ > 0)
        return;
    tip_.hide();
    runHandler([&] {
        if (node == accessibleToggle) {
            const PanelOpen before = strip_.panelOpen();
            strip_.ProcBMPMouseDown(MouseButton::left, strip_.restingPlace());
            refreshIfOpened(before);
            return;
        }
        const int slot = node - accessibleSlotNode(0);
        if (slot >= 0 && slot < slotCount && strip_.panelOpen() == PanelOpen::open)
            afterLaunch(slots_.startByKey(slot));
    });
}

// Whatever a handler changed that a screen reader hears about goes to the backend.
void TForm1::tellAccessibleChanges() {
    for (const AccessibleEvent& event :
         accessible_.changesTo(strip_.panelOpen() == PanelOpen::open, focusedSlot_, slotRecords_))
        window_.accessibleChanged(event);
}

ElementIndex TForm1::elementAt(int x, int y) const {
    const WindowGeometry window = window_.geometry();
    return scene_.hitTest(x, y, window.width, window.height);
}

void TForm1::deliverDown(ElementIndex target, MouseButton button, Place pointer) {
    if (target == toggle_) {
        const PanelOpen before = strip_.panelOpen();
        if (strip_.ProcBMPMouseDown(button, pointer) == TogglePress::exitRequested)
            exitProgram();
        refreshIfOpened(before);
        return;
    }
    // Once the close began (the second click of a double click, say), a slot takes no press, as
    // digits take none.
    const int slot = slots_.slotOfButton(target);
    if (slot >= 0 && strip_.panelOpen() == PanelOpen::open)
        slots_.knMouseDown(slot, button);
}

void TForm1::deliverMove(ElementIndex target) {
    const int slot = slots_.slotOfButton(target);
    if (slot >= 0)
        glyphs_.knMouseMove(slot, slotRecords_);
}

void TForm1::deliverUp(ElementIndex target, MouseButton button) {
    const int slot = slots_.slotOfButton(target);
    if (slot < 0)
        return;
    if (strip_.panelOpen() != PanelOpen::open) {
        slots_.knPressCancelled(slot);
        return;
    }
    afterLaunch(slots_.knMouseUp(slot, button));
}

// The texts stay as they are while they name the place the strip rests at; when the window
// manager or a drag moved it, they take the real place. Before any slot was saved the slot list
// is written first, so that the next start finds both files and keeps the place.
void TForm1::exitProgram() {
    const Place resting = strip_.restingPlace();
    if (placeOf(position_) != resting)
        position_ = positionTextOf(resting);
    storedFiles_.writeSlotListIfMissing(slotRecords_);
    storedFiles_.writePosition(position_);
    window_.exitProcess(0);
}

// A file error or a refused path ends the handler where it was raised; what it changed until then
// stays, and the program goes on after the box. Any other exception is a fault of the program
// and is not caught.
template <class Handler> void TForm1::runHandler(Handler&& handler) {
    const Running running(handlersRunning_);
    try {
        handler();
    } catch (const FileError& error) {
        showErrorBox(error.what());
    } catch (const SlotError& error) {
        showErrorBox(error.what());
    }
    if (strip_.panelOpen() != PanelOpen::open) {
        closeWhenStarted_ = false;
        focusedSlot_ = noFocusedSlot;
    }
    presentIfChanged();
    askForTicksAsNeeded();
    tellAccessibleChanges();
}

// A slide that the handler started goes on under the box.
void TForm1::showErrorBox(const std::string& message) {
    const Running running(handlersRunning_);
    tip_.hide();
    presentIfChanged();
    askForTicksAsNeeded();
    window_.showError(errorBoxText(message));
}

// The program sleeps while nothing moves: the tick is needed only by a slide, and by the rest
// of the pointer on a slot before its tip shows.
void TForm1::askForTicksAsNeeded() {
    const bool needed =
        strip_.moving() || (strip_.panelOpen() == PanelOpen::open && tip_.waiting());
    if (needed == ticking_)
        return;
    ticking_ = needed;
    window_.setTicking(needed);
}

// Composes only when something visible changed: many ticks and moves change nothing.
void TForm1::presentIfChanged() {
    if (!activated_)
        return;
    const WindowGeometry window = window_.geometry();
    if (presentedOnce_ && scene_.revision() == presentedRevision_ &&
        window.width == presentedGeometry_.width && window.height == presentedGeometry_.height)
        return;
    scene_.compose(frame_, window.width, window.height);
    window_.present(frame_);
    presentedOnce_ = true;
    presentedRevision_ = scene_.revision();
    presentedGeometry_ = window;
}

} // namespace dravix
