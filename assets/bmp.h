#pragma once

#include "assets/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dravix {

// Reads the header of an uncompressed, bottom-up 24-bit BMP and returns a view of its pixels;
// nothing when the bytes are not such a file. The view borrows the bytes.
std::optional<Picture> decodeBmp(std::span<const std::uint8_t> file);

// Writes pixels (RGB, rows top to bottom, no padding) as an uncompressed 24-bit BMP.
std::vector<std::uint8_t> encodeBmp(int width, int height, std::span<const std::uint8_t> rgb);

} // namespace dravix
