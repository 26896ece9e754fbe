#pragma once

// The file formats the program's icon is written in: PNG, and the Windows .ico that dravix.rc
// embeds. Both take square images as squareIcon draws them (platform/icon.h).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dravix::icons {

struct SquareImage {
    int size = 0;
    std::vector<std::uint32_t> argb; // size x size pixels, rows top to bottom
};

// The image as a PNG file with an alpha channel; nothing when libpng fails.
std::optional<std::vector<std::uint8_t>> pngFile(const SquareImage& image);

// An .ico file holding the images in the given order. Images below 256 pixels are 32-bit
// bitmaps with the AND mask that older Windows versions go by; the 256-pixel one, which only
// Windows Vista and later show, is stored PNG-compressed, as they allow, a fraction of its
// bitmap's size. Nothing when an image cannot be encoded.
std::optional<std::vector<std::uint8_t>> icoFile(std::span<const SquareImage> images);

} // namespace dravix::icons
