#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dravix {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A read-only view of the pixels of an uncompressed 24-bit BMP that lives elsewhere
// (embedded in the binary or in a test's buffer). Copying a Picture copies the view only.
class Picture {
public:
    Picture() = default;
    // bgrRows points at the first stored row; rows are rowStride bytes apart and, as in every
    // BMP with a positive height, stored bottom row first.
    Picture(int width, int height, const std::uint8_t* bgrRows, int rowStride)
        : width_(width), height_(height), bgrRows_(bgrRows), rowStride_(rowStride) {}

    int width() const { return width_; }
    int height() const { return height_; }

    Rgb pixel(int x, int y) const {
        const std::uint8_t* bgr = row(y) + 3 * x;
        return {bgr[2], bgr[1], bgr[0]};
    }
    // The y-th row from the top, as width() BGR triples.
    const std::uint8_t* row(int y) const { return bgrRows_ + (height_ - 1 - y) * rowStride_; }

    bool samePixels(const Picture& other) const;

private:
    int width_ = 0;
    int height_ = 0;
    const std::uint8_t* bgrRows_ = nullptr;
    int rowStride_ = 0;
};

} // namespace dravix
