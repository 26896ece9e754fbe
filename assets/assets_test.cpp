#include "assets/bmp.h"
#include "assets/embedded_pictures.h"
#include "assets/picture.h"
#include "assets/picture_store.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dravix {
namespace {

// ---------------------------------------------------------------------------------------------
// Helpers

struct Size {
    int width;
    int height;
    friend bool operator==(const Size&, const Size&) = default;
};

std::map<std::string, Size> expectedSizes() {
    std::map<std::string, Size> sizes;
    sizes["k1"] = {26, 23};
    sizes["k2"] = {26, 23};
    for (int digit = 0; digit < 10; ++digit) {
        sizes["kk" + std::to_string(digit)] = {21, 13};
        sizes["kk2" + std::to_string(digit)] = {21, 13};
        sizes["c" + std::to_string(digit)] = {13, 12};
    }
    for (char letter = 'a'; letter <= 'z'; ++letter)
        sizes[std::string("b") + letter] = {13, 12};
    sizes["toch"] = {13, 12};
    sizes["minmin"] = {13, 12};
    sizes["space"] = {13, 12};
    sizes["osnBMP"] = {26, 351};
    sizes["backBMP"] = {26, 300};
    sizes["authBmp"] = {219, 323};
    return sizes;
}

// A pixel pattern in which neighbouring pixels and channels all differ, so that a swapped
// channel, a shifted row or a misplaced padding byte shows.
std::vector<std::uint8_t> patternRgb(int width, int height) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            rgb.push_back(static_cast<std::uint8_t>(10 + 7 * x + 31 * y));
            rgb.push_back(static_cast<std::uint8_t>(100 + 13 * x + 3 * y));
            rgb.push_back(static_cast<std::uint8_t>(200 + x + 17 * y));
        }
    return rgb;
}

void putU16(std::vector<std::uint8_t>& file, std::size_t at, std::uint16_t value) {
    file[at] = static_cast<std::uint8_t>(value);
    file[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getU32(const std::vector<std::uint8_t>& file, std::size_t at) {
    return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
           static_cast<std::uint32_t>(file[at + 3]) << 24;
}

// Byte offsets in a BMP with a 40-byte info header.
constexpr std::size_t fileSizeAt = 2;
constexpr std::size_t pixelOffsetAt = 10;
constexpr std::size_t infoSizeAt = 14;
constexpr std::size_t widthAt = 18;
constexpr std::size_t heightAt = 22;
constexpr std::size_t planesAt = 26;
constexpr std::size_t bitsAt = 28;
constexpr std::size_t compressionAt = 30;

// A valid 5 x 3 file (rows of 15 bytes padded to 16) to break in one place at a time.
std::vector<std::uint8_t> validFile() {
    return encodeBmp(5, 3, patternRgb(5, 3));
}

bool isBlack(Rgb pixel) {
    return pixel == Rgb{0, 0, 0};
}

bool isDark(Rgb pixel) {
    return pixel.red + pixel.green + pixel.blue < 3 * 64;
}

// The places where a glyph differs from the blank glyph `space`.
std::vector<std::pair<int, int>> differencesFromSpace(const Picture& glyph) {
    const Picture& space = storePicture("space");
    std::vector<std::pair<int, int>> places;
    for (int y = 0; y < glyph.height(); ++y)
        for (int x = 0; x < glyph.width(); ++x)
            if (glyph.pixel(x, y) != space.pixel(x, y))
                places.emplace_back(x, y);
    return places;
}

std::vector<std::string> glyphNames() {
    std::vector<std::string> names;
    for (char digit = '0'; digit <= '9'; ++digit)
        names.push_back(std::string("c") + digit);
    for (char letter = 'a'; letter <= 'z'; ++letter)
        names.push_back(std::string("b") + letter);
    return names;
}

// ---------------------------------------------------------------------------------------------
// BMP encoding and decoding

TEST(Bmp, RoundTripKeepsEveryPixelForAllRowPaddings) {
    // Widths 1 to 8 cover row lengths of 3, 6, 9, 12, ... bytes: every amount of padding.
    for (int width = 1; width <= 8; ++width) {
        for (int height : {1, 2, 5}) {
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
            const std::vector<std::uint8_t> rgb = patternRgb(width, height);
            const std::vector<std::uint8_t> file = encodeBmp(width, height, rgb);

            const std::size_t stride = (width * 3 + 3) / 4 * 4;
            ASSERT_EQ(file.size(), 54 + stride * height);
            EXPECT_EQ(getU32(file, fileSizeAt), file.size());
            EXPECT_EQ(getU32(file, pixelOffsetAt), 54u);

            const std::optional<Picture> picture = decodeBmp(file);
            ASSERT_TRUE(picture.has_value());
            ASSERT_EQ(picture->width(), width);
            ASSERT_EQ(picture->height(), height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const std::uint8_t* expected = rgb.data() + (y * width + x) * 3;
                    EXPECT_EQ(picture->pixel(x, y), (Rgb{expected[0], expected[1], expected[2]}))
                        << "at " << x << "," << y;
                }
        }
    }
}

TEST(Bmp, EncodeStoresBottomRowFirstAsBgr) {
    // One column, two rows: top red, bottom blue. The first stored pixel is the bottom one.
    const std::vector<std::uint8_t> rgb = {255, 0, 0, 0, 0, 255};
    const std::vector<std::uint8_t> file = encodeBmp(1, 2, rgb);
    ASSERT_EQ(file.size(), 54u + 2 * 4);
    EXPECT_EQ((std::vector<std::uint8_t>(file.begin() + 54, file.end())),
              (std::vector<std::uint8_t>{255, 0, 0, 0, 0, 0, 255, 0}));
}

TEST(Bmp, DecodeAcceptsLargerInfoHeaderAndGapBeforePixels) {
    // A 124-byte (V5) info header and four spare bytes before the pixels: the decoder must
    // follow the stored pixel offset rather than assume 54.
    const std::vector<std::uint8_t> plain = encodeBmp(3, 2, patternRgb(3, 2));
    std::vector<std::uint8_t> file(plain.begin(), plain.begin() + 54);
    file.resize(14 + 124 + 4, 0xEE);
    file.insert(file.end(), plain.begin() + 54, plain.end());
    putU32(file, infoSizeAt, 124);
    putU32(file, pixelOffsetAt, 14 + 124 + 4);
    putU32(file, fileSizeAt, static_cast<std::uint32_t>(file.size()));

    const std::optional<Picture> wide = decodeBmp(file);
    const std::optional<Picture> reference = decodeBmp(plain);
    ASSERT_TRUE(wide.has_value());
    ASSERT_TRUE(reference.has_value());
    EXPECT_TRUE(wide->samePixels(*reference));
}

TEST(Bmp, DecodeAcceptsZeroFileSizeField) {
    std::vector<std::uint8_t> file = validFile();
    putU32(file, fileSizeAt, 0);
    EXPECT_TRUE(decodeBmp(file).has_value());
}

TEST(Bmp, DecodeRejectsTruncatedFiles) {
    const std::vector<std::uint8_t> file = validFile();
    EXPECT_FALSE(decodeBmp({}).has_value());
    // Every length short of the whole file: inside the headers and inside the pixels.
    for (std::size_t length = 0; length < file.size(); ++length) {
        std::vector<std::uint8_t> cut(file.begin(), file.begin() + length);
        // With the size field zeroed only the pixel count can tell that bytes are missing.
        if (length > fileSizeAt + 4)
            putU32(cut, fileSizeAt, 0);
        EXPECT_FALSE(decodeBmp(cut).has_value()) << "length " << length;
    }
}

TEST(Bmp, DecodeRejectsFilesOfAnotherKind) {
    struct Case {
        const char* what;
        std::size_t at;
        std::uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        {"signature BA", 1, 'A', 1},
        {"signature lower case", 0, 'b', 1},
        {"8 bits per pixel", bitsAt, 8, 2},
        {"32 bits per pixel", bitsAt, 32, 2},
        {"16 bits per pixel", bitsAt, 16, 2},
        {"280 bits per pixel, 24 in the low byte", bitsAt, 24 + 256, 2},
        {"RLE8 compression", compressionAt, 1, 4},
        {"bit-field compression", compressionAt, 3, 4},
        {"two planes", planesAt, 2, 2},
        {"12-byte OS/2 header", infoSizeAt, 12, 4},
        {"info header longer than the file", infoSizeAt, 4000, 4},
        {"top-down rows (negative height)", heightAt, static_cast<std::uint32_t>(-3), 4},
        {"zero height", heightAt, 0, 4},
        {"zero width", widthAt, 0, 4},
        {"negative width", widthAt, static_cast<std::uint32_t>(-5), 4},
        {"pixels inside the headers", pixelOffsetAt, 20, 4},
        {"pixels beyond the end", pixelOffsetAt, 1000, 4},
        {"file size field beyond the bytes", fileSizeAt, 1000, 4},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = validFile();
        if (c.bytes == 1)
            file[c.at] = static_cast<std::uint8_t>(c.value);
        else if (c.bytes == 2)
            putU16(file, c.at, static_cast<std::uint16_t>(c.value));
        else
            putU32(file, c.at, c.value);
        EXPECT_FALSE(decodeBmp(file).has_value()) << c.what;
    }
}

TEST(Bmp, DecodeRejectsHeadersClaimingMorePixelsThanTheBytesHold) {
    // 5 x 3 holds 48 pixel bytes. Each claim below needs more, some far beyond what fits in
    // 32 bits, which a decoder computing sizes in int would wrap round.
    const std::pair<std::uint32_t, std::uint32_t> claims[] = {
        {6, 3},
        {5, 4},
        {0x7FFFFFFF, 1},
        {1, 0x7FFFFFFF},
        {0x7FFFFFFF, 0x7FFFFFFF},
        {0x55555556, 3},
        {0x40000000, 4},
    };
    for (const auto& [width, height] : claims) {
        std::vector<std::uint8_t> file = validFile();
        putU32(file, widthAt, width);
        putU32(file, heightAt, height);
        putU32(file, fileSizeAt, 0);
        EXPECT_FALSE(decodeBmp(file).has_value()) << width << " x " << height;
    }
}

TEST(Picture, SamePixelsComparesSizeAndPixelsButNotPadding) {
    const std::vector<std::uint8_t> rgb = patternRgb(3, 2);
    std::vector<std::uint8_t> a = encodeBmp(3, 2, rgb);
    std::vector<std::uint8_t> b = a;
    // Rows of 9 bytes are padded to 12; garbage in the padding changes no pixel.
    b[54 + 9] = 0xAB;
    b[54 + 12 + 11] = 0xCD;
    EXPECT_TRUE(decodeBmp(a)->samePixels(*decodeBmp(b)));

    // One channel of one pixel.
    std::vector<std::uint8_t> c = a;
    c[54 + 12 + 8] ^= 1;
    EXPECT_FALSE(decodeBmp(a)->samePixels(*decodeBmp(c)));

    // Same bytes per row, other shape: 3 x 2 against 2 x 3 of the same colours.
    const std::vector<std::uint8_t> d = encodeBmp(2, 3, rgb);
    EXPECT_FALSE(decodeBmp(a)->samePixels(*decodeBmp(d)));
    EXPECT_FALSE(decodeBmp(d)->samePixels(*decodeBmp(a)));
    // The first row alone.
    const std::vector<std::uint8_t> e = encodeBmp(3, 1, {rgb.begin(), rgb.begin() + 9});
    EXPECT_FALSE(decodeBmp(e)->samePixels(*decodeBmp(a)));
}

// ---------------------------------------------------------------------------------------------
// The picture store

TEST(PictureStore, HoldsExactlyTheBuiltInPicturesAtTheirSizesSortedByName) {
    const std::map<std::string, Size> expected = expectedSizes();
    ASSERT_EQ(expected.size(), 64u);

    std::map<std::string, Size> held;
    std::string previous;
    for (const NamedPicture& entry : storePictures()) {
        EXPECT_LT(previous, std::string(entry.name)) << "not sorted or a name twice";
        previous = std::string(entry.name);
        held[previous] = {entry.picture.width(), entry.picture.height()};
    }
    EXPECT_EQ(storePictures().size(), 64u);
    EXPECT_EQ(held, expected);
    // The build reads each file's header for the store; the pixels are where the file says.
    for (const EmbeddedFile& file : embeddedPictureFiles()) {
        const std::optional<Picture> decoded = decodeBmp(file.bytes);
        ASSERT_TRUE(decoded) << file.name;
        EXPECT_TRUE(decoded->samePixels(storePicture(file.name))) << file.name;
    }
}

TEST(PictureStore, LooksUpByExactName) {
    for (const NamedPicture& entry : storePictures()) {
        const Picture& found = storePicture(entry.name);
        // The same view every time: callers may keep the reference.
        EXPECT_EQ(&found, &storePicture(entry.name));
        EXPECT_TRUE(found.samePixels(entry.picture)) << entry.name;
    }
    for (const char* unknown : {"", "k", "k3", "K1", "kk10", "kk30", "c", "b", "ba ", "AUTHBMP",
                                "authbmp", "space.bmp", "zz"})
        EXPECT_THROW(storePicture(unknown), std::out_of_range) << '"' << unknown << '"';
}

TEST(PictureStore, NoTwoPicturesAreEqual) {
    const std::span<const NamedPicture> pictures = storePictures();
    for (std::size_t i = 0; i < pictures.size(); ++i)
        for (std::size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_FALSE(pictures[i].picture.samePixels(pictures[j].picture))
                << pictures[i].name << " equals " << pictures[j].name;
}

// ---------------------------------------------------------------------------------------------
// What the window relies on in the artwork

TEST(Artwork, InformationPictureLeftColumnIsTheFlatBlue) {
    // In the closed window this column stands in for the toggle's right edge.
    const Picture& info = storePicture("authBmp");
    for (int y = 0; y < info.height(); ++y)
        EXPECT_EQ(info.pixel(0, y), (Rgb{0, 120, 160})) << "row " << y;
    // And the field around the text is that blue too: the four corners.
    for (int x : {0, info.width() - 1})
        for (int y : {0, info.height() - 1})
            EXPECT_EQ(info.pixel(x, y), (Rgb{0, 120, 160}));
}

TEST(Artwork, GlyphsShareABackgroundThatIsNotBlack) {
    const Picture& space = storePicture("space");
    for (int y = 0; y < space.height(); ++y)
        for (int x = 0; x < space.width(); ++x)
            EXPECT_FALSE(isDark(space.pixel(x, y))) << "space at " << x << "," << y;

    // Every letter and digit is black strokes on exactly that background.
    for (const std::string& name : glyphNames()) {
        const Picture& glyph = storePicture(name);
        const std::vector<std::pair<int, int>> strokes = differencesFromSpace(glyph);
        EXPECT_GE(strokes.size(), 7u) << name;
        for (auto [x, y] : strokes)
            EXPECT_TRUE(isBlack(glyph.pixel(x, y))) << name << " at " << x << "," << y;
    }
}

TEST(Artwork, DotAndUnderscoreAreDarkMarksInTheMiddleOfTheBottomRow) {
    const std::vector<std::pair<int, int>> dot = differencesFromSpace(storePicture("toch"));
    EXPECT_EQ(dot, (std::vector<std::pair<int, int>>{{6, 11}}));

    const std::vector<std::pair<int, int>> bar = differencesFromSpace(storePicture("minmin"));
    EXPECT_EQ(bar, (std::vector<std::pair<int, int>>{{5, 11}, {6, 11}, {7, 11}, {8, 11}}));

    for (const char* name : {"toch", "minmin"}) {
        const Picture& glyph = storePicture(name);
        for (auto [x, y] : differencesFromSpace(glyph)) {
            EXPECT_TRUE(isDark(glyph.pixel(x, y))) << name;
            EXPECT_FALSE(isBlack(glyph.pixel(x, y))) << name;
        }
    }
}

TEST(Artwork, BlackOnlyWhereTheDesignAsksForIt) {
    // The window's own surface is black; pictures that must never be mistaken for it keep
    // clear of pure black.
    for (const char* name : {"authBmp", "backBMP", "space", "toch", "minmin"}) {
        const Picture& picture = storePicture(name);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                ASSERT_FALSE(isBlack(picture.pixel(x, y))) << name << " at " << x << "," << y;
    }
    // The toggles are black in their four corners only.
    for (const char* name : {"k1", "k2"}) {
        const Picture& toggle = storePicture(name);
        for (int y = 0; y < toggle.height(); ++y)
            for (int x = 0; x < toggle.width(); ++x) {
                const bool corner =
                    (x == 0 || x == toggle.width() - 1) && (y == 0 || y == toggle.height() - 1);
                EXPECT_EQ(isBlack(toggle.pixel(x, y)), corner) << name << " at " << x << "," << y;
            }
    }
}

TEST(Artwork, BackdropRepeatsEverySixRowsAndColumns) {
    const Picture& backdrop = storePicture("osnBMP");
    int dots = 0;
    for (int y = 0; y < backdrop.height(); ++y)
        for (int x = 0; x < backdrop.width(); ++x) {
            if (x + 6 < backdrop.width()) {
                ASSERT_EQ(backdrop.pixel(x, y), backdrop.pixel(x + 6, y)) << x << "," << y;
            }
            if (y + 6 < backdrop.height()) {
                ASSERT_EQ(backdrop.pixel(x, y), backdrop.pixel(x, y + 6)) << x << "," << y;
            }
            dots += !isBlack(backdrop.pixel(x, y));
        }
    // Mostly black, with some dots.
    EXPECT_GT(dots, 0);
    EXPECT_LT(dots, backdrop.width() * backdrop.height() / 4);
}

TEST(Artwork, PressedSlotButtonsDifferFromNormalOnesOnlyInsideTheKey) {
    // Same key outline, so swapping pictures on a button does not make its edge jump.
    for (int digit = 0; digit < 10; ++digit) {
        const Picture& normal = storePicture("kk" + std::to_string(digit));
        const Picture& pressed = storePicture("kk2" + std::to_string(digit));
        for (int x = 0; x < normal.width(); ++x) {
            EXPECT_EQ(normal.pixel(x, 0), pressed.pixel(x, 0)) << digit;
            EXPECT_EQ(normal.pixel(x, 12), pressed.pixel(x, 12)) << digit;
        }
        for (int y = 0; y < normal.height(); ++y) {
            EXPECT_EQ(normal.pixel(0, y), pressed.pixel(0, y)) << digit;
            EXPECT_EQ(normal.pixel(20, y), pressed.pixel(20, y)) << digit;
        }
    }
}

} // namespace
} // namespace dravix
