#pragma once

#include "access/accessible_model.h"
#include "app/pointer_router.h"
#include "glyphs/glyph_display.h"
#include "keyboard/keys.h"
#include "platform/accessible.h"
#include "platform/system_port.h"
#include "platform/window_port.h"
#include "scene/scene.h"
#include "slots/slot_buttons.h"
#include "slots/slot_tip.h"
#include "state/stored_files.h"
#include "strip/strip.h"

#include <cstdint>
#include <string>

namespace dravix {

inline constexpr const char* applicationTitle = "Dravix";

// The main window: owns every element and subsystem and routes the backend's events to them.
// Each event runs one handler; an error it raises ends it and is shown in the error box. A screen
// reader reads and presses the same window through the accessible model.
class TForm1 : public WindowEvents, public AccessibleSource {
public:
    // The hidden window's geometry at creation; the start-up load replaces it (the stored place,
    // 26 x 23) before the window first shows.
    static constexpr WindowGeometry creationGeometry{196, 132, 563, 333};

    TForm1(WindowPort& window, SystemPort& system);

    void activate() override;
    void mouseDown(int x, int y, MouseButton button) override;
    void mouseMove(int x, int y) override;
    void mouseUp(int x, int y, MouseButton button) override;
    void keyDown(int virtualKey) override;
    void tick() override;
    void fileDropped(int x, int y, const std::string& path) override;
    void captureLost() override;
    void launchStarted() override;
    void pointerLeft() override;
    void launchFailed(const std::string& reason) override;
    void anotherStart() override;
    AccessibleSource* accessibleSource() override { return this; }

    std::vector<AccessibleNode> accessibleNodes() const override;
    void accessiblePress(int node) override;

    const Scene& scene() const { return scene_; }
    const Strip& strip() const { return strip_; }
    const GlyphDisplay& glyphs() const { return glyphs_; }
    const SlotRecords& slotRecords() const { return slotRecords_; }
    const PositionText& position() const { return position_; }
    // The slot Tab and Shift+Tab moved the keyboard focus to, or noFocusedSlot.
    int focusedSlot() const { return focusedSlot_; }

private:
    void FormActivate();
    void FormKeyDown(int key);
    void keepStripWhole();
    void refreshIfOpened(PanelOpen before);
    void exitProgram();
    void deliverDown(ElementIndex target, MouseButton button, Place pointer);
    void deliverMove(ElementIndex target);
    void deliverUp(ElementIndex target, MouseButton button);
    void followWithTip(ElementIndex underPointer);
    void afterLaunch(SlotRelease release);
    void keyOnOpenStrip(int key);
    void tellAccessibleChanges();
    ElementIndex elementAt(int x, int y) const;
    Place onScreen(int x, int y) const;

    template <class Handler> void runHandler(Handler&& handler);
    void showErrorBox(const std::string& message);
    void presentIfChanged();
    void askForTicksAsNeeded();

    WindowPort& window_;
    Scene scene_;
    StoredFiles storedFiles_;
    // The two stored models: what the slot list file and the position file hold for this run.
    SlotRecords slotRecords_;
    PositionText position_;
    Strip strip_;
    SlotButtons slots_;
    GlyphDisplay glyphs_;
    SlotTip tip_;
    PointerRouter pointer_;
    ElementIndex toggle_;
    AccessibleModel accessible_;
    int focusedSlot_ = noFocusedSlot; // kept only while the strip is open
    bool activated_ = false;
    bool ticking_ = false; // what the desktop was last told
    // A launch was left pending while the strip was open, and the strip has stayed open since:
    // its start closes the strip.
    bool closeWhenStarted_ = false;
    // Handlers and boxes under way: events that arrive meanwhile come from a modal loop.
    int handlersRunning_ = 0;
    struct Running {
        explicit Running(int& count) : count_(count) { ++count_; }
        ~Running() { --count_; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
        int& count_;
    };

    Frame frame_;
    std::uint64_t presentedRevision_ = 0;
    WindowGeometry presentedGeometry_;
    bool presentedOnce_ = false;
};

// The error box's text: a full stop is added when the text's last character sorts after ".".
std::string errorBoxText(const std::string& message);

} // namespace dravix
