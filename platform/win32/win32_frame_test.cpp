#include "platform/win32/win32_frame.h"

#include <gtest/gtest.h>

namespace dravix::win32 {
namespace {

// A frame whose every byte differs from the others: red 10 * pixel + 1, green + 2, blue + 3.
Frame numberedFrame(int width, int height) {
    Frame frame{width, height, {}};
    for (int pixel = 0; pixel < width * height; ++pixel) {
        for (int channel = 0; channel < 3; ++channel)
            frame.rgb.push_back(static_cast<std::uint8_t>(10 * pixel + channel + 1));
    }
    return frame;
}

TEST(DibRows, AreThreeBytesAPixelPaddedToAMultipleOfFour) {
    EXPECT_EQ(dibStride(1), 4);
    EXPECT_EQ(dibStride(3), 12);
    EXPECT_EQ(dibStride(4), 12);
    EXPECT_EQ(dibStride(26), 80);   // the closed strip
    EXPECT_EQ(dibStride(244), 732); // the open strip
}

TEST(DibRows, HoldBlueGreenRedFromTheTopRowDownWithZeroPadding) {
    std::vector<std::uint8_t> rows;
    dibRowsFromFrame(numberedFrame(3, 2), 1, rows);
    // clang-format off
    const std::vector<std::uint8_t> expected = {
        3, 2, 1,    13, 12, 11,  23, 22, 21,  0, 0, 0,
        33, 32, 31, 43, 42, 41,  53, 52, 51,  0, 0, 0,
    };
    // clang-format on
    EXPECT_EQ(rows, expected);
}

TEST(DibRows, ReplaceWhatALargerEarlierFrameLeftInTheBuffer) {
    std::vector<std::uint8_t> rows;
    dibRowsFromFrame(numberedFrame(5, 3), 2, rows);
    dibRowsFromFrame(numberedFrame(1, 2), 1, rows);
    const std::vector<std::uint8_t> expected = {3, 2, 1, 0, 13, 12, 11, 0};
    EXPECT_EQ(rows, expected);
}

} // namespace
} // namespace dravix::win32
