#include "keyboard/arrow_nudge.h"

#include <string>

namespace dravix {

void ArrowNudge::FormKeyDown(int key) {
    WindowGeometry window = desktop_.geometry();
    const WindowGeometry before = window;
    if (key == vkDown)
        window.top = saturatingAdd(window.top, 1);
    if (key == vkRight)
        window.left = saturatingAdd(window.left, 1);
    if (key == vkUp)
        window.top = saturatingAdd(window.top, -1);
    if (key == vkLeft)
        window.left = saturatingAdd(window.left, -1);
    if (window != before)
        desktop_.setGeometry(window);
    position_.fl = std::to_string(window.left);
    position_.ft = std::to_string(window.top);
}

} // namespace dravix
