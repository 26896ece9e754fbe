#pragma once

#include "platform/window_port.h"

#include <cstdint>
#include <vector>

// How a composed frame becomes the pixels of a device-independent bitmap for GDI.
namespace dravix::win32 {

// Bytes in one row of a 24-bit DIB: three for each pixel, padded to a multiple of four.
int dibStride(int width);

// The frame enlarged `scale` times as the rows of a 24-bit top-down DIB of frame.width * scale by
// frame.height * scale pixels: every frame pixel a scale x scale block of its blue, green and red,
// every row padded with zeros to dibStride of that width. Enlarged here rather than by
// StretchDIBits, so that the blocks are exact whatever a display driver makes of a stretch.
void dibRowsFromFrame(const Frame& frame, int scale, std::vector<std::uint8_t>& rows);

} // namespace dravix::win32
