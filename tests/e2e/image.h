#pragma once

#include "assets/picture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dravix::e2e {

// An RGB image, rows top to bottom, used both for screenshots and for the frames a test expects.
class Image {
public:
    Image() = default;
    Image(int width, int height, Rgb fill = {});

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    void set(int x, int y, Rgb colour) {
        pixels_[static_cast<std::size_t>(y * width_ + x)] = colour;
    }

    // Copies the width x height block of picture starting at (srcX, srcY) to (x, y); whatever
    // falls outside this image is dropped.
    void paste(const Picture& picture, int srcX, int srcY, int width, int height, int x, int y);
    // Copies the whole picture with its top-left corner at (x, y).
    void paste(const Picture& picture, int x, int y);

    // Writes an uncompressed (stored-deflate) PNG; false when the file cannot be written.
    bool writePng(const std::string& path) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgb> pixels_;
};

// What a screenshot of a window's area holds: the pixels of the window's rectangle as far as it
// lies on the screen. Pixels of the rectangle beyond the screen's edges were not captured.
struct Screenshot {
    Image image;       // the window's whole rectangle; uncaptured pixels are black
    int visibleX0 = 0; // the captured part, in window coordinates, [x0, x1) x [y0, y1)
    int visibleY0 = 0;
    int visibleX1 = 0;
    int visibleY1 = 0;
};

// How a screenshot differs from the image it was expected to equal.
struct Difference {
    std::string reason; // set when the sizes differ or nothing of the window was captured
    long differing = 0; // captured pixels that differ
    long compared = 0;  // captured pixels
    int firstX = -1;    // the first differing pixel, row by row, in window coordinates
    int firstY = -1;
};

// Nothing when every captured pixel equals the expected one.
std::optional<Difference> compare(const Screenshot& actual, const Image& expected);

// Compares every captured pixel of the screenshot with the expected image of the same size.
// On a difference, writes both images as PNG files into the current test's artifact folder and
// names the first differing pixel (row by row), the number of differing pixels and the files.
::testing::AssertionResult sameImage(const Screenshot& actual, const Image& expected,
                                     const std::string& label);

} // namespace dravix::e2e
