#include "assets/picture_store.h"

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

// The embedded pictures as the build found them; the pictures point at the embedded bytes, which
// are neither copied nor read here, so that only the pictures shown are ever brought into memory.
std::vector<NamedPicture> embeddedPictures() {
    std::vector<NamedPicture> pictures;
    for (const EmbeddedFile& file : embeddedPictureFiles())
        pictures.push_back({file.name, Picture(file.width, file.height,
                                               file.bytes.data() + file.pixelsAt, file.rowStride)});
    std::sort(pictures.begin(), pictures.end(),
              [](const NamedPicture& a, const NamedPicture& b) { return a.name < b.name; });
    return pictures;
}

const std::vector<NamedPicture>& sortedPictures() {
    static const std::vector<NamedPicture> pictures = embeddedPictures();
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
