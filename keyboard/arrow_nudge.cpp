#include "keyboard/arrow_nudge.h"

namespace dravix {

Nudge nudgeFor(int key) {
    switch (key) {
    case vkDown:
        return {0, 1};
    case vkRight:
        return {1, 0};
    case vkUp:
        return {0, -1};
    case vkLeft:
        return {-1, 0};
    default:
        return {};
    }
}

} // namespace dravix
