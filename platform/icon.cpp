#include "platform/icon.h"

#include <algorithm>
#include <cassert>

namespace dravix {

namespace {

constexpr std::uint32_t opaque = 0xff000000u;

std::uint32_t argb(Rgb colour) {
    return opaque | static_cast<std::uint32_t>(colour.red) << 16 |
           static_cast<std::uint32_t>(colour.green) << 8 | colour.blue;
}

} // namespace

std::vector<std::uint32_t> squareIcon(const Picture& picture, int size) {
    assert(size > 0 && picture.width() > 0 && picture.height() > 0 && "an icon needs pixels");
    const int longer = std::max(picture.width(), picture.height());
    // The drawn size: a whole multiple keeps every source pixel the same square block.
    int width = picture.width() * (size / longer);
    int height = picture.height() * (size / longer);
    if (size < longer) {
        width = std::max(1, picture.width() * size / longer);
        height = std::max(1, picture.height() * size / longer);
    }
    const int left = (size - width) / 2;
    const int top = (size - height) / 2;

    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size, 0);
    for (int y = 0; y < height; ++y) {
        // The source pixel under the centre of each icon pixel.
        const int sourceY = (2 * y + 1) * picture.height() / (2 * height);
        for (int x = 0; x < width; ++x) {
            const int sourceX = (2 * x + 1) * picture.width() / (2 * width);
            pixels[static_cast<std::size_t>(top + y) * size + left + x] =
                argb(picture.pixel(sourceX, sourceY));
        }
    }
    return pixels;
}

} // namespace dravix
