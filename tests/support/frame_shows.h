#pragma once

#include "assets/picture.h"
#include "platform/window_port.h"

#include <gtest/gtest.h>

namespace dravix::testing {

// Whether the frame shows the picture's columns [fromX, toX) and rows [0, rows) with its top-left
// corner at (x, y), pixel for pixel.
inline ::testing::AssertionResult frameShows(const Frame& frame, int x, int y,
                                             const Picture& picture, int fromX = 0, int toX = -1,
                                             int rows = -1) {
    if (toX < 0)
        toX = picture.width();
    if (rows < 0)
        rows = picture.height();
    for (int py = 0; py < rows; ++py) {
        for (int px = fromX; px < toX; ++px) {
            const int fx = x + px;
            const int fy = y + py;
            if (fx < 0 || fy < 0 || fx >= frame.width || fy >= frame.height)
                return ::testing::AssertionFailure()
                       << "pixel (" << fx << ", " << fy << ") lies outside the frame";
            const std::uint8_t* shown = frame.rgb.data() + 3 * (fy * frame.width + fx);
            const Rgb expected = picture.pixel(px, py);
            if (shown[0] != expected.red || shown[1] != expected.green || shown[2] != expected.blue)
                return ::testing::AssertionFailure()
                       << "frame pixel (" << fx << ", " << fy << ") differs from picture pixel ("
                       << px << ", " << py << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace dravix::testing
