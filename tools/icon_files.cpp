#include "tools/icon_files.h"

#include <png.h>

namespace dravix::icons {

namespace {

// The one size an .ico entry's size byte cannot hold otherwise (it writes 0), and the size from
// which images go in as PNG.
constexpr int largestIcoSize = 256;

void appendWord(std::vector<std::uint8_t>& bytes, unsigned value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendDword(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    appendWord(bytes, value & 0xffffu);
    appendWord(bytes, value >> 16);
}

// A 32-bit icon image: BITMAPINFOHEADER, the colours as little-endian 0xAARRGGBB words, then the
// AND mask (1 where the pixel is transparent), both from the bottom row up and each row of the
// mask padded to 32 bits.
std::vector<std::uint8_t> bitmapImage(const SquareImage& image) {
    const int size = image.size;
    const std::uint32_t maskStride = (static_cast<std::uint32_t>(size) + 31) / 32 * 4;
    const std::uint32_t colourBytes = static_cast<std::uint32_t>(size) * size * 4;
    std::vector<std::uint8_t> bytes;
    appendDword(bytes, 40);                              // biSize
    appendDword(bytes, size);                            // biWidth
    appendDword(bytes, 2 * size);                        // biHeight: the colours and the mask
    appendWord(bytes, 1);                                // biPlanes
    appendWord(bytes, 32);                               // biBitCount
    appendDword(bytes, 0);                               // biCompression: BI_RGB
    appendDword(bytes, colourBytes + maskStride * size); // biSizeImage
    for (int unused = 0; unused < 4; ++unused)
        appendDword(bytes, 0); // resolution and palette
    for (int row = size - 1; row >= 0; --row) {
        for (int x = 0; x < size; ++x)
            appendDword(bytes, image.argb[static_cast<std::size_t>(row) * size + x]);
    }
    for (int row = size - 1; row >= 0; --row) {
        std::vector<std::uint8_t> mask(maskStride, 0);
        for (int x = 0; x < size; ++x) {
            if (image.argb[static_cast<std::size_t>(row) * size + x] >> 24 == 0)
                mask[x / 8] |= static_cast<std::uint8_t>(0x80 >> x % 8);
        }
        bytes.insert(bytes.end(), mask.begin(), mask.end());
    }
    return bytes;
}

} // namespace

std::optional<std::vector<std::uint8_t>> pngFile(const SquareImage& image) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(image.argb.size() * 4);
    for (const std::uint32_t pixel : image.argb) {
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgba.push_back(static_cast<std::uint8_t>(pixel));
        rgba.push_back(static_cast<std::uint8_t>(pixel >> 24));
    }
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = static_cast<png_uint_32>(image.size);
    description.height = static_cast<png_uint_32>(image.size);
    description.format = PNG_FORMAT_RGBA;
    // The first call measures, the second writes.
    png_alloc_size_t length = 0;
    if (png_image_write_to_memory(&description, nullptr, &length, 0, rgba.data(), 0, nullptr) == 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(length);
    if (png_image_write_to_memory(&description, bytes.data(), &length, 0, rgba.data(), 0,
                                  nullptr) == 0)
        return std::nullopt;
    bytes.resize(length);
    return bytes;
}

std::optional<std::vector<std::uint8_t>> icoFile(std::span<const SquareImage> images) {
    std::vector<std::vector<std::uint8_t>> encoded;
    for (const SquareImage& image : images) {
        if (image.size < 1 || image.size > largestIcoSize ||
            image.argb.size() != static_cast<std::size_t>(image.size) * image.size)
            return std::nullopt;
        if (image.size < largestIcoSize) {
            encoded.push_back(bitmapImage(image));
            continue;
        }
        std::optional<std::vector<std::uint8_t>> png = pngFile(image);
        if (!png)
            return std::nullopt;
        encoded.push_back(std::move(*png));
    }

    // ICONDIR, then one ICONDIRENTRY of 16 bytes per image, then the images.
    std::vector<std::uint8_t> file;
    appendWord(file, 0); // reserved
    appendWord(file, 1); // an icon, not a cursor
    appendWord(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t index = 0; index < images.size(); ++index) {
        const auto sizeByte = static_cast<std::uint8_t>(images[index].size % largestIcoSize);
        file.push_back(sizeByte); // width
        file.push_back(sizeByte); // height
        file.push_back(0);        // no palette
        file.push_back(0);        // reserved
        appendWord(file, 1);      // planes
        appendWord(file, 32);     // bits per pixel
        appendDword(file, static_cast<std::uint32_t>(encoded[index].size()));
        appendDword(file, offset);
        offset += static_cast<std::uint32_t>(encoded[index].size());
    }
    for (const std::vector<std::uint8_t>& image : encoded)
        file.insert(file.end(), image.begin(), image.end());
    return file;
}

} // namespace dravix::icons
