#include "app/pointer_router.h"

namespace dravix {

ElementIndex PointerRouter::down(ElementIndex underPointer, MouseButton button) {
    if (button == MouseButton::left) {
        captured_ = true;
        captureTarget_ = underPointer;
    }
    return underPointer;
}

ElementIndex PointerRouter::move(ElementIndex underPointer) const {
    return captured_ ? captureTarget_ : underPointer;
}

ElementIndex PointerRouter::up(ElementIndex underPointer, MouseButton button) {
    if (button != MouseButton::left || !captured_)
        return underPointer;
    captured_ = false;
    return captureTarget_;
}

} // namespace dravix
