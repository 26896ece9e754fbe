#pragma once

#include "platform/system_port.h"
#include "platform/window_port.h"
#include "scene/scene.h"

#include <optional>

namespace dravix {

// What a press on the toggle asks of the window.
enum class TogglePress { handled, exitRequested };

// The slide state: each flag has a type of its own, so that a value of one cannot be stored in
// another.
enum class PanelOpen { closed = 0, open = 1 }; // what the next left press does: open or close
enum class VerticalPhase { idle = 0, raising = 1, lowering = 2 }; // of the slot panel
enum class WidthPhase { idle = 0, widening = 1, narrowing = 2 };  // of the window
enum class Animating { idle = 0, sliding = 1 }; // toggle presses are ignored while it slides

// The toggle and the timer-driven slide that opens and closes the strip. Opening grows the
// window upward, raises the slot panel in 100-pixel steps and then widens the window in 81-pixel
// steps; closing runs the same movements backwards.
class Strip {
public:
    static constexpr int widthStep = 81;
    static constexpr int slotPanelStep = 100;
    static constexpr int slotPanelLowered = shape::rise;

    Strip(WindowPort& window, SystemPort& system, Scene& scene);

    // A press of any button on the toggle, with the pointer's place on the screen. Ignored while
    // a slide runs; the right button asks for the exit, the left one opens or closes, the middle
    // one starts a drag of the resting toggle.
    TogglePress ProcBMPMouseDown(MouseButton button, Place pointer);
    // One step of the slide, every 100 ms.
    void cyberTimer();
    // Starts the close sequence from wherever the strip is; moves nothing by itself.
    void startClosing();

    // Where the toggle rests. From the open press to the end of the close that is the place
    // recorded at the press, whatever became of the tall window meanwhile.
    Place restingPlace() const;
    // Moves the resting toggle to the nearest place where the whole open strip lies in the work
    // area of its monitor; returns whether it moved.
    bool keepWhole();
    // Moves the strip by a pixel or so; nothing happens when the open strip would not be whole.
    void nudge(int dx, int dy);
    // A middle-button drag of the resting toggle follows the pointer, kept whole.
    bool dragging() const { return drag_.has_value(); }
    void dragTo(Place pointer);
    void endDrag() { drag_.reset(); }

    // Whether a slide runs and needs the tick.
    bool moving() const {
        return verticalPhase_ != VerticalPhase::idle || widthPhase_ != WidthPhase::idle;
    }
    PanelOpen panelOpen() const { return panelOpen_; }
    VerticalPhase verticalPhase() const { return verticalPhase_; }
    WidthPhase widthPhase() const { return widthPhase_; }
    Animating animating() const { return animating_; }

private:
    void openPress();
    void widen();
    void narrow();
    bool raise();
    void lower();
    bool tall() const { return tallResting_.has_value(); }
    void placeTall(int width);
    void restoreTallPlace();
    int riseOnScreen() const;
    Place nearestWhole(Place resting) const;

    struct Drag {
        Place pointerAtPress;
        Place restingAtPress;
    };

    WindowPort& window_;
    SystemPort& system_; // the clock
    Scene& scene_;
    ElementIndex back_;
    ElementIndex proc_;
    ElementIndex toggle_;

    PanelOpen panelOpen_ = PanelOpen::closed;
    VerticalPhase verticalPhase_ = VerticalPhase::idle;
    WidthPhase widthPhase_ = WidthPhase::idle;
    Animating animating_ = Animating::idle;
    int lastMillis_ = 0;               // millisecond of the last tick that did its work
    std::optional<Place> tallResting_; // the toggle's resting place while the window is tall
    std::optional<Drag> drag_;
};

} // namespace dravix
