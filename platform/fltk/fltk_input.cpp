#include "platform/fltk/fltk_input.h"

#include <FL/Enumerations.H>

#include <cassert>
#include <climits>

namespace dravix::fltk {

namespace {

// The Windows virtual-key codes of the arrows, the only keys the window tells apart.
constexpr int arrowLeft = 37, arrowUp = 38, arrowRight = 39, arrowDown = 40;

} // namespace

int keyCodeFromFltk(int fltkKey) {
    assert(fltkKey >= 0 && fltkKey <= INT_MAX - fltkKeyCodeBase && "not an FLTK key number");
    switch (fltkKey) {
    case FL_Left:
        return arrowLeft;
    case FL_Up:
        return arrowUp;
    case FL_Right:
        return arrowRight;
    case FL_Down:
        return arrowDown;
    default:
        return fltkKeyCodeBase + fltkKey;
    }
}

std::optional<MouseButton> mouseButtonFromFltk(int fltkButton) {
    switch (fltkButton) {
    case FL_LEFT_MOUSE:
        return MouseButton::left;
    case FL_MIDDLE_MOUSE:
        return MouseButton::middle;
    case FL_RIGHT_MOUSE:
        return MouseButton::right;
    default:
        return std::nullopt;
    }
}

} // namespace dravix::fltk
