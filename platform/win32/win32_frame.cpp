#include "platform/win32/win32_frame.h"

#include <cassert>
#include <cstddef>

namespace dravix::win32 {

int dibStride(int width) {
    return (width * 3 + 3) / 4 * 4;
}

void dibRowsFromFrame(const Frame& frame, std::vector<std::uint8_t>& rows) {
    assert(frame.rgb.size() >= static_cast<std::size_t>(frame.width) * frame.height * 3 &&
           "frame smaller than its size says");
    const std::size_t stride = static_cast<std::size_t>(dibStride(frame.width));
    rows.assign(stride * static_cast<std::size_t>(frame.height), 0);
    const std::uint8_t* source = frame.rgb.data();
    for (int y = 0; y < frame.height; ++y) {
        std::uint8_t* target = rows.data() + stride * static_cast<std::size_t>(y);
        for (int x = 0; x < frame.width; ++x, source += 3, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
    }
}

} // namespace dravix::win32
