#pragma once

#include "platform/window_port.h"

#include <cstdint>
#include <initializer_list>

namespace dravix {

// What a release of a button means for the one who tracks the presses.
enum class Release {
    held,   // its press was held here: the release belongs to the press
    lost,   // the capture was lost while the press was held: the release belongs to nobody
    unseen, // no press of the button came here
};

// The press-and-capture rule: a press is held until its release or until the capture is lost.
// Some buttons capture the pointer while they are held, so that their moves and release come to
// the one who saw the press; a capture loss forgets their presses, and the release that may
// still come for one of them is lost. A button that captures nothing stays held through a
// capture loss.
class HeldButtons {
public:
    constexpr explicit HeldButtons(std::initializer_list<MouseButton> capturing) {
        for (MouseButton button : capturing)
            capturing_ |= bit(button);
    }

    // A press holds the button, also one whose earlier press was held or lost: its release is
    // the held one's.
    constexpr void press(MouseButton button) { held_ |= bit(button); }

    // A release ends the button's press, held or lost.
    constexpr Release release(MouseButton button) {
        const std::uint8_t mask = bit(button);
        const Release result = (held_ & mask) != 0   ? Release::held
                               : (lost_ & mask) != 0 ? Release::lost
                                                     : Release::unseen;
        held_ &= ~mask;
        lost_ &= ~mask;
        return result;
    }

    // The capture was taken away: every held capturing button is forgotten, its release to come
    // lost. True when one was held, that is, when there was a capture to lose.
    constexpr bool loseCapture() {
        const std::uint8_t forgotten = held_ & capturing_;
        held_ &= ~forgotten;
        lost_ |= forgotten;
        return forgotten != 0;
    }

    constexpr bool held(MouseButton button) const { return (held_ & bit(button)) != 0; }
    constexpr bool captures(MouseButton button) const { return (capturing_ & bit(button)) != 0; }
    // A capturing button is held: the pointer is captured.
    constexpr bool capturing() const { return (held_ & capturing_) != 0; }

private:
    static constexpr std::uint8_t bit(MouseButton button) {
        return static_cast<std::uint8_t>(1u << static_cast<unsigned>(button));
    }

    std::uint8_t capturing_ = 0;
    std::uint8_t held_ = 0;
    std::uint8_t lost_ = 0;
};

} // namespace dravix
