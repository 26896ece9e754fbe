#pragma once

// Pictures of the screen and the pictures a test expects them to equal.

#include "assets/picture.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace dravix::x11test {

// An RGB image, rows top to bottom, used both for screenshots and for the frames a test expects.
class Image {
public:
    Image() = default;
    Image(int width, int height, Rgb fill = {});
    // Takes 3 * width * height bytes of RGB, rows top to bottom (a composed frame's bytes).
    Image(int width, int height, std::vector<std::uint8_t> rgb);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const {
        const std::uint8_t* pixel = &rgb_[offset(x, y)];
        return {pixel[0], pixel[1], pixel[2]};
    }
    void set(int x, int y, Rgb colour) {
        std::uint8_t* pixel = &rgb_[offset(x, y)];
        pixel[0] = colour.red;
        pixel[1] = colour.green;
        pixel[2] = colour.blue;
    }

    // Copies the width x height block of picture starting at (srcX, srcY) to (x, y); whatever
    // falls outside this image is dropped.
    void paste(const Picture& picture, int srcX, int srcY, int width, int height, int x, int y);
    // Copies the whole picture with its top-left corner at (x, y).
    void paste(const Picture& picture, int x, int y);

    // Writes an uncompressed 24-bit BMP, as the core's tests leave their failing frames; false
    // when the image is empty or the file cannot be written.
    bool writeBmp(const std::filesystem::path& path) const;

    friend bool operator==(const Image&, const Image&) = default;

private:
    std::size_t offset(int x, int y) const { return 3 * static_cast<std::size_t>(y * width_ + x); }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
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

// Empty when every captured pixel equals the expected one. Otherwise writes both images into the
// folder as <label>-actual.bmp and <label>-expected.bmp, and says how they differ (the first
// differing pixel, row by row, and how many differ) and where the files are.
std::string mismatchReport(const Screenshot& actual, const Image& expected,
                           const std::string& label, const std::filesystem::path& folder);

} // namespace dravix::x11test
