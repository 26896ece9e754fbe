#pragma once

// The frames the window must show in its settled states, built from the store pictures by the
// stacking rules of the window: what a screenshot of the real program is compared with.

#include "tests/support/x11/image.h"

#include <array>
#include <string_view>

namespace dravix::e2e {

using x11test::Image;

// Closed, 26 x 23: the toggle showing k1, except the rightmost column (x = 25), which lies under
// the information panel and shows the leftmost column of authBmp.
Image closedFrame();

// Open, 244 x 323: the slot panel at Top 0 (backBMP with the ten slot buttons in their normal
// pictures and the six glyph cells), the toggle showing k2 at Top 300, and authBmp from x = 25.
// cells names the store glyphs shown by w1 .. w6, top to bottom.
Image openFrame(const std::array<std::string_view, 6>& cells = {"space", "space", "space", "space",
                                                                "space", "space"});

// Tops of the slot buttons kn0 .. kn9 inside the slot panel (Left 4), and of the glyph cells.
inline constexpr std::array<int, 10> slotButtonTops{8, 28, 48, 68, 89, 109, 129, 150, 171, 192};
// A point on a slot button of the open window: the middle of their column (x 4 .. 24), a little
// below the button's top.
inline constexpr int slotX = 14;
constexpr int slotY(int slot) {
    return slotButtonTops[static_cast<std::size_t>(slot)] + 6;
}
inline constexpr int firstGlyphCellTop = 216;
inline constexpr int glyphCellPitch = 13;

} // namespace dravix::e2e
