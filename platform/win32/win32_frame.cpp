#include "platform/win32/win32_frame.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace dravix::win32 {

int dibStride(int width) {
    return (width * 3 + 3) / 4 * 4;
}

void dibRowsFromFrame(const Frame& frame, int scale, std::vector<std::uint8_t>& rows) {
    assert(frame.rgb.size() >= static_cast<std::size_t>(frame.width) * frame.height * 3 &&
           "frame smaller than its size says");
    assert(scale >= 1 && "a frame is shown at least once");
    const std::size_t stride = static_cast<std::size_t>(dibStride(frame.width * scale));
    rows.assign(stride * static_cast<std::size_t>(frame.height) * scale, 0);
    const std::uint8_t* source = frame.rgb.data();
    for (int y = 0; y < frame.height; ++y) {
        std::uint8_t* const firstRow = rows.data() + stride * static_cast<std::size_t>(y) * scale;
        std::uint8_t* target = firstRow;
        for (int x = 0; x < frame.width; ++x, source += 3) {
            for (int repeat = 0; repeat < scale; ++repeat, target += 3) {
                target[0] = source[2];
                target[1] = source[1];
                target[2] = source[0];
            }
        }
        // The other rows of the block are copies of its first.
        for (int repeat = 1; repeat < scale; ++repeat)
            std::copy_n(firstRow, stride, firstRow + stride * static_cast<std::size_t>(repeat));
    }
}

} // namespace dravix::win32
