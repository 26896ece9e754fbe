#pragma once

#include "assets/picture.h"

#include <cstdint>
#include <vector>

namespace dravix {

// A square program icon of `size` x `size` pixels drawn from a picture: the picture enlarged by
// the largest whole factor that fits, nearest neighbour, or, when not even its own size fits,
// shrunk to fit with its proportions kept; centred on transparent pixels. The pixels are
// 0xAARRGGBB words, rows top to bottom, as X11's _NET_WM_ICON and a 32-bit Windows icon (bottom
// row first there) hold them.
std::vector<std::uint32_t> squareIcon(const Picture& picture, int size);

} // namespace dravix
