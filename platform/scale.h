#pragma once

// The whole factor by which a backend enlarges the program on a dense screen, from the density
// the desktop reports.

#include <cmath>

namespace dravix {

// 768 dots per inch: more than any screen has. The cap keeps a mistaken setting from asking for
// windows larger than the window system allows.
inline constexpr int maxScale = 8;

// The screen's dots per inch over the usual 96, rounded to the nearest whole number with halves
// going up: 120 (1.25) gives 1, 144 (1.5) gives 2, 192 gives 2 and 288 gives 3. A whole factor
// keeps every pixel of the pictures a sharp square block. At 1.25 a doubled strip would stand
// larger than the desktop's own controls, so it stays 1; at 1.5 the single one would be as much
// too small, so it doubles. Never below 1 or above maxScale; 1 for a density that is no number.
inline int scaleForDpi(double dpi) {
    constexpr double usualDpi = 96;
    if (!(dpi > 0)) // also NaN
        return 1;
    const double factor = std::floor(dpi / usualDpi + 0.5);
    if (factor < 1)
        return 1;
    return factor > maxScale ? maxScale : static_cast<int>(factor);
}

// A distance in screen pixels from the window's corner as the program's pixels: the block of
// scale x scale screen pixels that holds it, rounded down also left of and above the window,
// where moves with a held button go on, so that a drag steps evenly across the window's edge.
inline int programPixel(int screenPixels, int scale) {
    const int block = screenPixels / scale;
    return screenPixels % scale < 0 ? block - 1 : block;
}

} // namespace dravix
