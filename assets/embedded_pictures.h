#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dravix {

// One BMP file compiled into the binary, as it lies in the assets folder, with what its header
// says, read by the build (which accepts only uncompressed, bottom-up 24-bit files).
struct EmbeddedFile {
    std::string_view name; // file name without ".bmp"
    std::span<const std::uint8_t> bytes;
    int width;
    int height;
    int pixelsAt;  // where the bottom row starts
    int rowStride; // bytes from one row to the next
};

// Every embedded BMP file, in the order the build listed them. Defined in a source file that
// the build writes from the BMP files.
std::span<const EmbeddedFile> embeddedPictureFiles();

} // namespace dravix
