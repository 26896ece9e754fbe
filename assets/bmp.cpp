#include "assets/bmp.h"

#include <cassert>
#include <climits>

namespace dravix {

namespace {

constexpr std::size_t fileHeaderSize = 14;
constexpr std::uint32_t infoHeaderSize = 40;
constexpr std::size_t headersSize = fileHeaderSize + infoHeaderSize;
constexpr std::uint32_t noCompression = 0; // BI_RGB
constexpr std::uint16_t bitsPerPixel = 24;
constexpr std::int32_t pixelsPerMetre = 2835; // 72 dots per inch

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::int32_t readI32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::int32_t>(readU32(bytes, at));
}

void writeU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void writeU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// Bytes per stored row: three per pixel, padded to a multiple of four.
std::uint64_t rowStride(std::uint64_t width) {
    return (width * 3 + 3) / 4 * 4;
}

} // namespace

std::optional<Picture> decodeBmp(std::span<const std::uint8_t> file) {
    if (file.size() < headersSize)
        return std::nullopt;
    if (file[0] != 'B' || file[1] != 'M')
        return std::nullopt;

    const std::uint32_t declaredFileSize = readU32(file, 2);
    const std::uint32_t pixelOffset = readU32(file, 10);
    const std::uint32_t infoSize = readU32(file, 14);
    const std::int32_t width = readI32(file, 18);
    const std::int32_t height = readI32(file, 22);
    const std::uint16_t planes = readU16(file, 26);
    const std::uint16_t bits = readU16(file, 28);
    const std::uint32_t compression = readU32(file, 30);

    // Some writers leave the file size at zero; a size beyond the bytes we hold means the
    // file was cut short.
    if (declaredFileSize != 0 && declaredFileSize > file.size())
        return std::nullopt;
    // Later info headers (V4, V5) start like the 40-byte one; the 12-byte OS/2 header does not.
    if (infoSize < infoHeaderSize || infoSize > file.size() - fileHeaderSize)
        return std::nullopt;
    if (planes != 1 || bits != bitsPerPixel || compression != noCompression)
        return std::nullopt;
    // A negative height would mean rows stored top first; only bottom-up files are read.
    if (width <= 0 || height <= 0)
        return std::nullopt;
    if (pixelOffset < fileHeaderSize + infoSize || pixelOffset > file.size())
        return std::nullopt;

    // All sizes in 64 bits: width and height are below 2^31, so nothing here can wrap.
    const std::uint64_t stride = rowStride(static_cast<std::uint64_t>(width));
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(height);
    // Picture addresses rows with int arithmetic, so the pixel block must fit an int.
    if (pixelBytes > static_cast<std::uint64_t>(INT_MAX))
        return std::nullopt;
    if (pixelBytes > file.size() - pixelOffset)
        return std::nullopt;

    return Picture(width, height, file.data() + pixelOffset, static_cast<int>(stride));
}

std::vector<std::uint8_t> encodeBmp(int width, int height, std::span<const std::uint8_t> rgb) {
    assert(width > 0 && height > 0 && "a bitmap needs at least one pixel");
    assert(rgb.size() == static_cast<std::size_t>(width) * height * 3 &&
           "pixel buffer does not match the size");

    const auto stride = static_cast<std::uint32_t>(rowStride(static_cast<std::uint64_t>(width)));
    const std::uint32_t pixelBytes = stride * static_cast<std::uint32_t>(height);

    std::vector<std::uint8_t> out;
    out.reserve(headersSize + pixelBytes);
    // BITMAPFILEHEADER
    out.push_back('B');
    out.push_back('M');
    writeU32(out, static_cast<std::uint32_t>(headersSize) + pixelBytes);
    writeU32(out, 0); // reserved
    writeU32(out, static_cast<std::uint32_t>(headersSize));
    // BITMAPINFOHEADER
    writeU32(out, infoHeaderSize);
    writeU32(out, static_cast<std::uint32_t>(width));
    writeU32(out, static_cast<std::uint32_t>(height));
    writeU16(out, 1); // planes
    writeU16(out, bitsPerPixel);
    writeU32(out, noCompression);
    writeU32(out, pixelBytes);
    writeU32(out, static_cast<std::uint32_t>(pixelsPerMetre));
    writeU32(out, static_cast<std::uint32_t>(pixelsPerMetre));
    writeU32(out, 0); // colours used: none, no palette
    writeU32(out, 0); // important colours: all

    // Bottom row first, each pixel as blue, green, red, each row padded with zeros.
    const std::size_t padding = stride - static_cast<std::size_t>(width) * 3;
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* source = rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, source += 3) {
            out.push_back(source[2]);
            out.push_back(source[1]);
            out.push_back(source[0]);
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

} // namespace dravix
