#pragma once

namespace dravix {

// The slide moves on a 100 ms tick. The ticks lie on a grid that starts with the program: when a
// desktop stops ticking while nothing moves and starts again, the first tick comes when it would
// have come had the ticks never stopped.
inline constexpr int tickMilliseconds = 100;

// Milliseconds from `elapsed` (since the program's start) to the next tick on the grid; 0 when a
// tick falls due just then.
constexpr long long millisecondsToNextTick(long long elapsed) {
    const long long intoTick = elapsed % tickMilliseconds;
    return intoTick == 0 ? 0 : tickMilliseconds - intoTick;
}

} // namespace dravix
