#include "strip/strip.h"

namespace dravix {

Strip::Strip(Desktop& desktop, Scene& scene)
    : desktop_(desktop), scene_(scene), back_(scene.find("back")), proc_(scene.find("proc")),
      toggle_(scene.find("ProcBMP")) {}

void Strip::ProcBMPMouseDown(MouseButton button, const std::function<void()>& exitProgram) {
    if (animating_ == 1)
        return;
    if (button == MouseButton::right) {
        exitProgram();
        return;
    }
    if (button != MouseButton::left)
        return;
    if (panelOpen_ == 0) {
        openPress();
        return;
    }
    startClosing();
}

// The window grows upward so that the toggle, now at its bottom, stays where it was on screen.
void Strip::openPress() {
    WindowGeometry window = desktop_.geometry();
    window.height = openHeight;
    window.top = saturatingAdd(window.top, -rise);
    desktop_.setGeometry(window);
    scene_.setTop(proc_, slotPanelLowered);
    scene_.takePicture(toggle_, "k2");
    verticalPhase_ = 1;
    panelOpen_ = 1;
}

// A launch can come after the strip has closed: a left press on a slot keeps the pointer until
// its release, and the strip may finish closing meanwhile. Closing a closed strip again would
// drop the window another 300 pixels, so there is nothing to do then.
void Strip::startClosing() {
    if (panelOpen_ == 0 && verticalPhase_ == 0 && widthPhase_ == 0)
        return;
    scene_.takePicture(toggle_, "k1");
    widthPhase_ = 2;
    verticalPhase_ = 2;
    panelOpen_ = 0;
}

void Strip::cyberTimer() {
    const int millis = desktop_.millisecondOfDay();
    if (millis == lastMillis_)
        return;
    lastMillis_ = millis;

    // The width moves first, so a close narrows the window completely before the panel sinks.
    if (widthPhase_ == 1) {
        widen();
        return;
    }
    if (widthPhase_ == 2) {
        narrow();
        return;
    }
    if (verticalPhase_ == 1 && !raise())
        return;
    if (verticalPhase_ == 2)
        lower();
}

void Strip::widen() {
    animating_ = 1;
    WindowGeometry window = desktop_.geometry();
    const int width = window.width + widthStep;
    if (width < openWidth) {
        window.width = width;
    } else {
        window.width = openWidth;
        widthPhase_ = 0;
        animating_ = 0;
    }
    desktop_.setGeometry(window);
}

void Strip::narrow() {
    animating_ = 1;
    WindowGeometry window = desktop_.geometry();
    const int width = window.width - widthStep;
    if (width > closedWidth) {
        window.width = width;
    } else {
        window.width = closedWidth;
        widthPhase_ = 0;
    }
    desktop_.setGeometry(window);
}

// Returns whether the tick goes on after the step. The bound is tested before the move, so the
// raise ends with a tick that only confirms it and starts the widening.
bool Strip::raise() {
    animating_ = 1;
    const int top = scene_.element(back_).top;
    if (top > 0) {
        scene_.setTop(back_, top - slotPanelStep);
        return true;
    }
    scene_.setTop(back_, 0);
    verticalPhase_ = 0;
    widthPhase_ = 1;
    return false;
}

void Strip::lower() {
    animating_ = 1;
    const int top = scene_.element(back_).top;
    if (top < slotPanelLowered) {
        scene_.setTop(back_, top + slotPanelStep);
        return;
    }
    scene_.setTop(back_, slotPanelLowered);
    verticalPhase_ = 0;
    WindowGeometry window = desktop_.geometry();
    window.height = closedHeight;
    window.top = saturatingAdd(window.top, rise);
    desktop_.setGeometry(window);
    scene_.setTop(proc_, 0);
    animating_ = 0;
}

} // namespace dravix
