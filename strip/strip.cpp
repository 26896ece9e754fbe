#include "strip/strip.h"

#include "strip/placement.h"

namespace dravix {

Strip::Strip(WindowPort& window, SystemPort& system, Scene& scene)
    : window_(window), system_(system), scene_(scene), back_(scene.find("back")),
      proc_(scene.find("proc")), toggle_(scene.find("ProcBMP")) {}

TogglePress Strip::ProcBMPMouseDown(MouseButton button, Place pointer) {
    if (animating_ == Animating::sliding)
        return TogglePress::handled;
    if (button == MouseButton::right)
        return TogglePress::exitRequested;
    if (button == MouseButton::middle && !tall())
        drag_ = Drag{pointer, restingPlace()};
    if (button != MouseButton::left)
        return TogglePress::handled;
    if (panelOpen_ == PanelOpen::closed)
        openPress();
    else
        startClosing();
    return TogglePress::handled;
}

// The window grows upward so that the toggle, now at its bottom, stays where it was on screen. A
// toggle that the window manager or the user moved where the open strip would not be whole moves
// there first, in the same change of the window.
void Strip::openPress() {
    drag_.reset();
    tallResting_ = nearestWhole(restingPlace());
    placeTall(window_.geometry().width);
    scene_.setTop(proc_, slotPanelLowered);
    scene_.takePicture(toggle_, "k2");
    verticalPhase_ = VerticalPhase::raising;
    panelOpen_ = PanelOpen::open;
}

// A launch can come after the strip has closed: a left press on a slot keeps the pointer until
// its release, and the strip may finish closing meanwhile. Closing a closed strip again would
// drop the window another 300 pixels, so there is nothing to do then.
void Strip::startClosing() {
    if (panelOpen_ == PanelOpen::closed && verticalPhase_ == VerticalPhase::idle &&
        widthPhase_ == WidthPhase::idle)
        return;
    scene_.takePicture(toggle_, "k1");
    widthPhase_ = WidthPhase::narrowing;
    verticalPhase_ = VerticalPhase::lowering;
    panelOpen_ = PanelOpen::closed;
}

void Strip::cyberTimer() {
    const int millis = system_.millisecondOfDay();
    if (millis == lastMillis_)
        return;
    lastMillis_ = millis;

    // The width moves first, so a close narrows the window completely before the panel sinks.
    // A width step places the window from the resting place anyway, which puts back what a window
    // manager moved in the same request as the new width.
    if (widthPhase_ == WidthPhase::widening) {
        widen();
        return;
    }
    if (widthPhase_ == WidthPhase::narrowing) {
        narrow();
        return;
    }
    restoreTallPlace();
    if (verticalPhase_ == VerticalPhase::raising && !raise())
        return;
    if (verticalPhase_ == VerticalPhase::lowering)
        lower();
}

void Strip::widen() {
    animating_ = Animating::sliding;
    int width = window_.geometry().width + widthStep;
    if (width >= shape::openWidth) {
        width = shape::openWidth;
        widthPhase_ = WidthPhase::idle;
        animating_ = Animating::idle;
    }
    placeTall(width);
}

void Strip::narrow() {
    animating_ = Animating::sliding;
    int width = window_.geometry().width - widthStep;
    if (width <= shape::closedWidth) {
        width = shape::closedWidth;
        widthPhase_ = WidthPhase::idle;
    }
    placeTall(width);
}

// Every step of the slide places the tall window from the recorded resting place, so a window
// manager that moved the tall window cannot make the strip drift.
void Strip::placeTall(int width) {
    const Place resting = *tallResting_;
    window_.setGeometry(
        {resting.left, saturatingAdd(resting.top, -riseOnScreen()), width, shape::openHeight});
}

// Returns whether the tick goes on after the step. The bound is tested before the move, so the
// raise ends with a tick that only confirms it and starts the widening.
bool Strip::raise() {
    animating_ = Animating::sliding;
    const int top = scene_.element(back_).top;
    if (top > 0) {
        scene_.setTop(back_, top - slotPanelStep);
        return true;
    }
    scene_.setTop(back_, 0);
    verticalPhase_ = VerticalPhase::idle;
    widthPhase_ = WidthPhase::widening;
    return false;
}

void Strip::lower() {
    animating_ = Animating::sliding;
    const int top = scene_.element(back_).top;
    if (top < slotPanelLowered) {
        scene_.setTop(back_, top + slotPanelStep);
        return;
    }
    scene_.setTop(back_, slotPanelLowered);
    verticalPhase_ = VerticalPhase::idle;
    const Place resting = *tallResting_;
    tallResting_.reset();
    window_.setGeometry({resting.left, resting.top, shape::closedWidth, shape::closedHeight});
    scene_.setTop(proc_, 0);
    animating_ = Animating::idle;
}

// A window manager may have moved the tall window since the last step; the slide puts it back,
// so that the toggle stays under the pointer.
void Strip::restoreTallPlace() {
    if (!tall() || (verticalPhase_ == VerticalPhase::idle && widthPhase_ == WidthPhase::idle))
        return;
    const WindowGeometry window = window_.geometry();
    const Place resting = *tallResting_;
    if (window.left != resting.left || window.top != saturatingAdd(resting.top, -riseOnScreen()))
        placeTall(window.width);
}

// The window grows upward by the strip's height on the screen, whatever the desktop's scale.
int Strip::riseOnScreen() const {
    return shape::rise * window_.scale();
}

Place Strip::restingPlace() const {
    if (tallResting_)
        return *tallResting_;
    const WindowGeometry window = window_.geometry();
    return {window.left, window.top};
}

Place Strip::nearestWhole(Place resting) const {
    const int scale = window_.scale();
    return nearestWholePlace(resting, window_.workAreaNear(toggleAt(resting, scale)), scale);
}

bool Strip::keepWhole() {
    const Place resting = restingPlace();
    const Place whole = nearestWhole(resting);
    if (whole == resting)
        return false;
    if (tall()) {
        tallResting_ = whole;
        placeTall(window_.geometry().width);
    } else {
        window_.setGeometry({whole.left, whole.top, shape::closedWidth, shape::closedHeight});
    }
    return true;
}

void Strip::nudge(int dx, int dy) {
    const Place resting = restingPlace();
    const Place moved{saturatingAdd(resting.left, dx), saturatingAdd(resting.top, dy)};
    if (nearestWhole(moved) != moved)
        return;
    if (tall()) {
        tallResting_ = moved;
        placeTall(window_.geometry().width);
        return;
    }
    WindowGeometry window = window_.geometry();
    window.left = moved.left;
    window.top = moved.top;
    window_.setGeometry(window);
}

void Strip::dragTo(Place pointer) {
    if (!drag_ || tall())
        return;
    const Place wanted{
        saturatingAdd(drag_->restingAtPress.left, pointer.left - drag_->pointerAtPress.left),
        saturatingAdd(drag_->restingAtPress.top, pointer.top - drag_->pointerAtPress.top)};
    const Place whole = nearestWhole(wanted);
    if (whole == restingPlace())
        return;
    window_.setGeometry({whole.left, whole.top, shape::closedWidth, shape::closedHeight});
}

} // namespace dravix
