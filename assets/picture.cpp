#include "assets/picture.h"

#include <cstring>

namespace dravix {

bool Picture::samePixels(const Picture& other) const {
    if (width_ != other.width_ || height_ != other.height_)
        return false;
    // Compare row by row: the two pictures may pad their rows differently, and padding
    // bytes are not pixels.
    const auto rowBytes = static_cast<std::size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y) {
        if (std::memcmp(row(y), other.row(y), rowBytes) != 0)
            return false;
    }
    return true;
}

} // namespace dravix
