#include "keyboard/keys.h"

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

std::optional<int> slotForKey(int key) {
    constexpr int digits = 10;
    if (key >= vkDigit0 && key < vkDigit0 + digits)
        return key - vkDigit0;
    if (key >= vkNumpad0 && key < vkNumpad0 + digits)
        return key - vkNumpad0;
    return std::nullopt;
}

} // namespace dravix
