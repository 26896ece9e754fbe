#pragma once

#include "platform/held_buttons.h"
#include "platform/window_port.h"
#include "scene/scene.h"

namespace dravix {

// Decides which element gets a pointer event. A left press captures the pointer for the element
// under it until the left release, so its moves and release go there wherever the pointer is;
// right and middle presses capture nothing.
class PointerRouter {
public:
    ElementIndex down(ElementIndex underPointer, MouseButton button);
    ElementIndex move(ElementIndex underPointer) const;
    ElementIndex up(ElementIndex underPointer, MouseButton button);
    // The capture was taken away: the element that held it, or noElement. The left release that
    // may still come for that press goes nowhere.
    ElementIndex cancel();

private:
    HeldButtons held_{MouseButton::left};
    ElementIndex captureTarget_ = noElement;
};

} // namespace dravix
