#include "assets/picture_store.h"

#include "assets/bmp.h"
#include "assets/embedded_pictures.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace dravix {

namespace {

bool nameBefore(const NamedPicture& entry, std::string_view name) {
    return entry.name < name;
}

// Decodes the headers of the embedded files once; the pictures keep pointing at the embedded
// bytes, so nothing is copied.
std::vector<NamedPicture> decodeEmbedded() {
    std::vector<NamedPicture> pictures;
    for (const EmbeddedFile& file : embeddedPictureFiles()) {
        std::optional<Picture> picture = decodeBmp(file.bytes);
        if (!picture)
            throw std::logic_error("built-in picture " + std::string(file.name) +
                                   " is not an uncompressed 24-bit BMP");
        pictures.push_back({file.name, *picture});
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const NamedPicture& a, const NamedPicture& b) { return a.name < b.name; });
    return pictures;
}

const std::vector<NamedPicture>& sortedPictures() {
    static const std::vector<NamedPicture> pictures = decodeEmbedded();
    return pictures;
}

} // namespace

std::span<const NamedPicture> storePictures() {
    return sortedPictures();
}

const Picture& storePicture(std::string_view name) {
    const std::vector<NamedPicture>& pictures = sortedPictures();
    auto found = std::lower_bound(pictures.begin(), pictures.end(), name, nameBefore);
    if (found == pictures.end() || found->name != name)
        throw std::out_of_range("no built-in picture named " + std::string(name));
    return found->picture;
}

} // namespace dravix
