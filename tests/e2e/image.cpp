#include "tests/e2e/image.h"

#include "tests/e2e/harness.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace dravix::e2e {

Image::Image(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height), fill) {}

void Image::paste(const Picture& picture, int srcX, int srcY, int width, int height, int x, int y) {
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int toX = x + column;
            const int toY = y + row;
            if (toX < 0 || toY < 0 || toX >= width_ || toY >= height_) {
                continue;
            }
            set(toX, toY, picture.pixel(srcX + column, srcY + row));
        }
    }
}

void Image::paste(const Picture& picture, int x, int y) {
    paste(picture, 0, 0, picture.width(), picture.height(), x, y);
}

namespace {

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void putChunk(std::vector<std::uint8_t>& out, const char* type,
              const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(out.data() + typeAt, data.size() + 4));
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(raw.size() - at, 65535);
        const bool last = at + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian(out, (b << 16) | a);
    return out;
}

} // namespace

bool Image::writePng(const std::string& path) const {
    std::vector<std::uint8_t> raw;
    raw.reserve(static_cast<std::size_t>(height_ * (1 + 3 * width_)));
    for (int y = 0; y < height_; ++y) {
        raw.push_back(0); // filter: none
        for (int x = 0; x < width_; ++x) {
            const Rgb p = at(x, y);
            raw.insert(raw.end(), {p.red, p.green, p.blue});
        }
    }
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width_));
    putBigEndian(header, static_cast<std::uint32_t>(height_));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace

    std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(raw));
    putChunk(png, "IEND", {});

    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    return static_cast<bool>(file);
}

namespace {

std::string describe(Rgb colour) {
    std::ostringstream text;
    text << "rgb(" << int{colour.red} << ", " << int{colour.green} << ", " << int{colour.blue}
         << ")";
    return text.str();
}

} // namespace

std::optional<Difference> compare(const Screenshot& actual, const Image& expected) {
    const Image& got = actual.image;
    Difference difference;
    if (got.width() != expected.width() || got.height() != expected.height()) {
        difference.reason = "the screenshot is " + std::to_string(got.width()) + " x " +
                            std::to_string(got.height()) + ", expected " +
                            std::to_string(expected.width()) + " x " +
                            std::to_string(expected.height());
        return difference;
    }
    if (actual.visibleX0 >= actual.visibleX1 || actual.visibleY0 >= actual.visibleY1) {
        difference.reason = "no part of the window is on the screen";
        return difference;
    }
    for (int y = actual.visibleY0; y < actual.visibleY1; ++y) {
        for (int x = actual.visibleX0; x < actual.visibleX1; ++x) {
            ++difference.compared;
            if (got.at(x, y) != expected.at(x, y) && difference.differing++ == 0) {
                difference.firstX = x;
                difference.firstY = y;
            }
        }
    }
    if (difference.differing == 0) {
        return std::nullopt;
    }
    return difference;
}

::testing::AssertionResult sameImage(const Screenshot& actual, const Image& expected,
                                     const std::string& label) {
    const std::optional<Difference> difference = compare(actual, expected);
    if (!difference) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure();
    failure << label << ": ";
    if (!difference->reason.empty()) {
        failure << difference->reason;
    } else {
        const Rgb got = actual.image.at(difference->firstX, difference->firstY);
        const Rgb wanted = expected.at(difference->firstX, difference->firstY);
        failure << difference->differing << " of " << difference->compared
                << " pixels differ; the first at window (" << difference->firstX << ", "
                << difference->firstY << ") is " << describe(got) << ", expected "
                << describe(wanted);
    }
    const std::filesystem::path folder = testArtifactFolder();
    const std::string actualPath = (folder / (label + "-actual.png")).string();
    const std::string expectedPath = (folder / (label + "-expected.png")).string();
    if (actual.image.writePng(actualPath) && expected.writePng(expectedPath)) {
        failure << "; screenshot saved as " << actualPath << ", the expected image as "
                << expectedPath;
    } else {
        failure << "; could not save the images into " << folder.string();
    }
    return failure;
}

} // namespace dravix::e2e
