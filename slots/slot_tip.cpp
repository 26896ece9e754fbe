#include "slots/slot_tip.h"

namespace dravix {

void SlotTip::pointerOver(int slot, const std::string& path, Place at) {
    if (slot == slot_)
        return;
    hide();
    slot_ = slot;
    path_ = slot < 0 ? std::string() : path;
    at_ = at;
}

void SlotTip::tick() {
    if (shown_ || path_.empty() || ++restedTicks_ < restTicks)
        return;
    window_.showTip(path_, at_);
    shown_ = true;
}

void SlotTip::hide() {
    restedTicks_ = 0;
    if (!shown_)
        return;
    window_.hideTip();
    shown_ = false;
}

} // namespace dravix
