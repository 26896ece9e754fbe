#include "app/pointer_router.h"

namespace dravix {

ElementIndex PointerRouter::down(ElementIndex underPointer, MouseButton button) {
    if (button == MouseButton::left) {
        captured_ = true;
        captureTarget_ = underPointer;
        releaseCancelled_ = false;
    }
    return underPointer;
}

ElementIndex PointerRouter::move(ElementIndex underPointer) const {
    return captured_ ? captureTarget_ : underPointer;
}

ElementIndex PointerRouter::up(ElementIndex underPointer, MouseButton button) {
    if (button == MouseButton::left && releaseCancelled_) {
        releaseCancelled_ = false;
        return noElement;
    }
    if (button != MouseButton::left || !captured_)
        return underPointer;
    captured_ = false;
    return captureTarget_;
}

ElementIndex PointerRouter::cancel() {
    if (!captured_)
        return noElement;
    captured_ = false;
    releaseCancelled_ = true;
    return captureTarget_;
}

} // namespace dravix
