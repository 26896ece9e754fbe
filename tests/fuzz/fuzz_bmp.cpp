// The BMP decoder over arbitrary bytes. An accepted picture must be what its header says, its
// pixel rows must lie inside the bytes (every pixel is read, so AddressSanitizer sees any read
// past them), every pixel must come from the place the header gives, and the encoder must
// write it back into a file that decodes to the same pixels.

#include "assets/bmp.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

std::uint64_t littleEndian(const std::uint8_t* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::optional<Picture> picture = decodeBmp(std::span(data, size));
    if (!picture)
        return 0;

    // Only a whole uncompressed 24-bit bottom-up header is accepted.
    FUZZ_CHECK(size >= 54);
    FUZZ_CHECK(data[0] == 'B' && data[1] == 'M');
    FUZZ_CHECK(littleEndian(data + 26, 2) == 1 && littleEndian(data + 28, 2) == 24);
    FUZZ_CHECK(littleEndian(data + 30, 4) == 0);
    const std::uint64_t width = littleEndian(data + 18, 4);
    const std::uint64_t height = littleEndian(data + 22, 4);
    FUZZ_CHECK(picture->width() > 0 && static_cast<std::uint64_t>(picture->width()) == width);
    FUZZ_CHECK(picture->height() > 0 && static_cast<std::uint64_t>(picture->height()) == height);

    // The rows, padded to four bytes, lie between the headers and the end of the bytes.
    const std::uint64_t pixelOffset = littleEndian(data + 10, 4);
    const std::uint64_t stride = (width * 3 + 3) & ~std::uint64_t{3};
    FUZZ_CHECK(pixelOffset >= 54);
    FUZZ_CHECK(pixelOffset + stride * height <= size);

    const int w = picture->width();
    const int h = picture->height();
    std::vector<std::uint8_t> rgb;
    rgb.reserve(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* stored = data + pixelOffset + (height - 1 - y) * stride;
        FUZZ_CHECK(picture->row(y) == stored);
        for (int x = 0; x < w; ++x) {
            const Rgb pixel = picture->pixel(x, y);
            FUZZ_CHECK(pixel.blue == stored[3 * x] && pixel.green == stored[3 * x + 1] &&
                       pixel.red == stored[3 * x + 2]);
            rgb.insert(rgb.end(), {pixel.red, pixel.green, pixel.blue});
        }
    }

    // Encoded again, the pixels come back the same.
    const std::vector<std::uint8_t> encoded = encodeBmp(w, h, rgb);
    FUZZ_CHECK(encoded.size() == 54 + stride * height);
    const std::optional<Picture> again = decodeBmp(encoded);
    FUZZ_CHECK(again && again->width() == w && again->height() == h);
    FUZZ_CHECK(again->samePixels(*picture));
    return 0;
}
