#pragma once

#include "platform/desktop.h"

#include <cstdint>
#include <vector>

// How a composed frame becomes the pixels of a device-independent bitmap for GDI.
namespace dravix::win32 {

// Bytes in one row of a 24-bit DIB: three for each pixel, padded to a multiple of four.
int dibStride(int width);

// The frame as the rows of a 24-bit top-down DIB: blue, green and red for each pixel, every row
// padded with zeros to dibStride(frame.width).
void dibRowsFromFrame(const Frame& frame, std::vector<std::uint8_t>& rows);

} // namespace dravix::win32
