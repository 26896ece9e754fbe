#pragma once

#include "app/scene.h"
#include "platform/desktop.h"

#include <functional>

namespace dravix {

// The toggle and the timer-driven slide that opens and closes the strip. Opening grows the
// window 300 pixels upward, raises the slot panel in 100-pixel steps and then widens the window
// in 81-pixel steps; closing runs the same movements backwards.
class Strip {
public:
    static constexpr int closedWidth = 26;
    static constexpr int closedHeight = 23;
    static constexpr int openWidth = 244;
    static constexpr int openHeight = 323;
    static constexpr int widthStep = 81;
    static constexpr int slotPanelStep = 100;
    static constexpr int slotPanelLowered = 300;
    static constexpr int rise = 300; // how far the window's Top moves when it grows upward

    Strip(Desktop& desktop, Scene& scene);

    // A press of any button on the toggle. Ignored while a slide runs; the right button asks
    // for the exit, the left one opens or closes.
    void ProcBMPMouseDown(MouseButton button, const std::function<void()>& exitProgram);
    // One step of the slide, every 100 ms.
    void cyberTimer();
    // Starts the close sequence from wherever the strip is; moves nothing by itself.
    void startClosing();

    int panelOpen() const { return panelOpen_; }
    int verticalPhase() const { return verticalPhase_; }
    int widthPhase() const { return widthPhase_; }
    int animating() const { return animating_; }

private:
    void openPress();
    void widen();
    void narrow();
    bool raise();
    void lower();

    Desktop& desktop_;
    Scene& scene_;
    ElementIndex back_;
    ElementIndex proc_;
    ElementIndex toggle_;

    int panelOpen_ = 0;     // what the next left press does: 0 opens, 1 closes
    int verticalPhase_ = 0; // slot panel: 0 idle, 1 raising, 2 lowering
    int widthPhase_ = 0;    // window width: 0 idle, 1 widening, 2 narrowing
    int animating_ = 0;     // 1 while a slide runs; toggle presses are ignored then
    int lastMillis_ = 0;    // millisecond of the last tick that did its work
};

} // namespace dravix
