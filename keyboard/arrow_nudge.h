#pragma once

#include "platform/desktop.h"
#include "state/stored_files.h"

namespace dravix {

enum VirtualKey { vkLeft = 37, vkUp = 38, vkRight = 39, vkDown = 40 };

// Arrow keys move the window one pixel; every key records the window's position as the text
// that the exit saves.
class ArrowNudge {
public:
    ArrowNudge(Desktop& desktop, PositionText& position) : desktop_(desktop), position_(position) {}

    void FormKeyDown(int key);

private:
    Desktop& desktop_;
    PositionText& position_;
};

} // namespace dravix
