#pragma once

#include "assets/picture.h"

#include <cstdint>
#include <vector>

namespace dravix {

// A square program icon of `size` x `size` pixels drawn from a picture: the picture enlarged by
// the largest whole factor that fits, nearest neighbour, or, when not even its own size fits,
// shrunk to fit with its proportions kept, also by nearest neighbour: every icon pixel is the
// picture pixel under its centre, so no colours blend and the first and last rows and columns
// stay (26 x 23 becomes 16 x 14 or 24 x 21, dropping the rows and columns between); centred on
// transparent pixels. The pixels are
// 0xAARRGGBB words, rows top to bottom, as X11's _NET_WM_ICON and a 32-bit Windows icon (bottom
// row first there) hold them.
std::vector<std::uint32_t> squareIcon(const Picture& picture, int size);

} // namespace dravix
