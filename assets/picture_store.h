#pragma once

#include "assets/picture.h"

#include <span>
#include <string_view>

namespace dravix {

struct NamedPicture {
    std::string_view name; // "k1", "kk23", "bq", "osnBMP", ...
    Picture picture;
};

// The built-in bitmaps, embedded in the binary: all 64 of them, sorted by name.
std::span<const NamedPicture> storePictures();

// The picture of that name; throws std::out_of_range for a name the store does not hold.
const Picture& storePicture(std::string_view name);

} // namespace dravix
