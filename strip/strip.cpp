#include "strip/strip.h"

namespace dravix {

Strip::Strip(Desktop& desktop, Scene& scene)
    : desktop_(desktop), scene_(scene), back_(scene.find("back")), proc_(scene.find("proc")),
      toggle_(scene.find("ProcBMP")) {}

TogglePress Strip::ProcBMPMouseDown(MouseButton button) {
    if (animating_ == 1)
        return TogglePress::handled;
    if (button == MouseButton::right)
        return TogglePress::exitRequested;
    if (button != MouseButton::left)
        return TogglePress::handled;
    if (panelOpen_ == closed)
        openPress();
    else
        startClosing();
    return TogglePress::handled;
}

// The window grows upward so that the toggle, now at its bottom, stays where it was on screen.
void Strip::openPress() {
    WindowGeometry window = desktop_.geometry();
    window.height = shape::openHeight;
    window.top = saturatingAdd(window.top, -shape::rise);
    desktop_.setGeometry(window);
    scene_.setTop(proc_, slotPanelLowered);
    scene_.takePicture(toggle_, "k2");
    verticalPhase_ = raising;
    panelOpen_ = open;
}

// A launch can come after the strip has closed: a left press on a slot keeps the pointer until
// its release, and the strip may finish closing meanwhile. Closing a closed strip again would
// drop the window another 300 pixels, so there is nothing to do then.
void Strip::startClosing() {
    if (panelOpen_ == closed && verticalPhase_ == idle && widthPhase_ == idle)
        return;
    scene_.takePicture(toggle_, "k1");
    widthPhase_ = narrowing;
    verticalPhase_ = lowering;
    panelOpen_ = closed;
}

void Strip::cyberTimer() {
    const int millis = desktop_.millisecondOfDay();
    if (millis == lastMillis_)
        return;
    lastMillis_ = millis;

    // The width moves first, so a close narrows the window completely before the panel sinks.
    if (widthPhase_ == widening) {
        widen();
        return;
    }
    if (widthPhase_ == narrowing) {
        narrow();
        return;
    }
    if (verticalPhase_ == raising && !raise())
        return;
    if (verticalPhase_ == lowering)
        lower();
}

void Strip::widen() {
    animating_ = 1;
    WindowGeometry window = desktop_.geometry();
    const int width = window.width + widthStep;
    if (width < shape::openWidth) {
        window.width = width;
    } else {
        window.width = shape::openWidth;
        widthPhase_ = idle;
        animating_ = 0;
    }
    desktop_.setGeometry(window);
}

void Strip::narrow() {
    animating_ = 1;
    WindowGeometry window = desktop_.geometry();
    const int width = window.width - widthStep;
    if (width > shape::closedWidth) {
        window.width = width;
    } else {
        window.width = shape::closedWidth;
        widthPhase_ = idle;
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
    verticalPhase_ = idle;
    widthPhase_ = widening;
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
    verticalPhase_ = idle;
    WindowGeometry window = desktop_.geometry();
    window.height = shape::closedHeight;
    window.top = saturatingAdd(window.top, shape::rise);
    desktop_.setGeometry(window);
    scene_.setTop(proc_, 0);
    animating_ = 0;
}

} // namespace dravix
