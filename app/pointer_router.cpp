#include "app/pointer_router.h"

namespace dravix {

ElementIndex PointerRouter::down(ElementIndex underPointer, MouseButton button) {
    held_.press(button);
    if (held_.captures(button))
        captureTarget_ = underPointer;
    return underPointer;
}

ElementIndex PointerRouter::move(ElementIndex underPointer) const {
    return held_.capturing() ? captureTarget_ : underPointer;
}

ElementIndex PointerRouter::up(ElementIndex underPointer, MouseButton button) {
    const Release release = held_.release(button);
    if (!held_.captures(button) || release == Release::unseen)
        return underPointer;
    return release == Release::held ? captureTarget_ : noElement;
}

ElementIndex PointerRouter::cancel() {
    return held_.loseCapture() ? captureTarget_ : noElement;
}

} // namespace dravix
