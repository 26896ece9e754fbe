// The program icon as the build writes it into the executable (tools/draw_icons): the sizes that
// Windows asks for, each image the closed toggle as squareIcon draws it for every other use. The
// bitmaps carry an AND mask that agrees with the alpha channel; the 256-pixel image is a PNG,
// read back as Windows decodes it for the program.

#include "assets/picture_store.h"
#include "platform/icon.h"
#include "platform/win32/win32_resources.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace dravix::win32 {
namespace {

std::span<const std::uint8_t> resourceBytes(int id, const char* type) {
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), type);
    if (found == nullptr)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return {data, SizeofResource(nullptr, found)};
}

// Little-endian numbers, as the resources hold them.
unsigned word(const std::uint8_t* at) {
    return at[0] | at[1] << 8;
}
std::uint32_t dword(const std::uint8_t* at) {
    return word(at) | static_cast<std::uint32_t>(word(at + 2)) << 16;
}

// The pixels of the program icon's image of `size` as LoadImage decodes it, 0xAARRGGBB row by
// row from the top; empty when it cannot.
std::vector<std::uint32_t> loadedIcon(int size) {
    const auto icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr),
                                                    MAKEINTRESOURCEA(DRAVIX_PROGRAM_ICON),
                                                    IMAGE_ICON, size, size, 0));
    ICONINFO parts{};
    if (icon == nullptr || !GetIconInfo(icon, &parts))
        return {};
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = size;
    format.bmiHeader.biHeight = -size; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    const HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, parts.hbmColor, 0, size, pixels.data(), &format, DIB_RGB_COLORS) != size)
        pixels.clear();
    ReleaseDC(nullptr, screen);
    DeleteObject(parts.hbmColor);
    DeleteObject(parts.hbmMask);
    DestroyIcon(icon);
    return pixels;
}

TEST(ProgramIcon, HoldsEverySizeAsTheIconRuleDrawsItWithAMaskThatAgrees) {
    const std::span<const std::uint8_t> group =
        resourceBytes(DRAVIX_PROGRAM_ICON, MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u) << "no icon group";
    const unsigned count = word(group.data() + 4);
    ASSERT_EQ(group.size(), 6u + 14u * count);

    std::vector<int> sizes;
    for (unsigned entry = 0; entry < count; ++entry) {
        const std::uint8_t* at = group.data() + 6 + 14 * entry;
        // A width and height byte of 0 stands for 256.
        const int size = at[0] == 0 ? 256 : at[0];
        sizes.push_back(size);
        EXPECT_EQ(at[1], at[0]) << "not square";
        const std::span<const std::uint8_t> image =
            resourceBytes(static_cast<int>(word(at + 12)), MAKEINTRESOURCEA(3)); // RT_ICON
        ASSERT_EQ(dword(at + 8), image.size());
        const std::vector<std::uint32_t> drawn = squareIcon(storePicture("k1"), size);
        int wrongColours = 0;
        int wrongMask = 0;
        if (size == 256) {
            constexpr std::uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
            ASSERT_GE(image.size(), sizeof pngSignature);
            EXPECT_TRUE(std::equal(image.begin(), image.begin() + 8, pngSignature)) << "not a PNG";
            const std::vector<std::uint32_t> loaded = loadedIcon(size);
            ASSERT_EQ(loaded.size(), drawn.size()) << "Windows cannot load the 256 px image";
            for (std::size_t at = 0; at < drawn.size(); ++at)
                wrongColours += loaded[at] != drawn[at] ? 1 : 0;
            EXPECT_EQ(wrongColours, 0) << "256 px image: pixels that squareIcon draws otherwise";
            continue;
        }
        const std::size_t maskStride = (size + 31) / 32 * 4;
        const std::size_t colourBytes = static_cast<std::size_t>(size) * size * 4;
        ASSERT_EQ(image.size(), 40 + colourBytes + maskStride * size) << size << " px image";
        // BITMAPINFOHEADER: the height counts the colours and the mask.
        ASSERT_EQ(dword(image.data() + 4), static_cast<std::uint32_t>(size));
        ASSERT_EQ(dword(image.data() + 8), static_cast<std::uint32_t>(2 * size));
        ASSERT_EQ(word(image.data() + 14), 32u);

        for (int y = 0; y < size; ++y) {
            const int row = size - 1 - y; // the image runs from the bottom row up
            for (int x = 0; x < size; ++x) {
                const std::uint32_t expected = drawn[static_cast<std::size_t>(y) * size + x];
                const std::uint8_t* colour = image.data() + 40 + (row * size + x) * 4;
                if (dword(colour) != expected)
                    ++wrongColours;
                const std::uint8_t maskByte = image[40 + colourBytes + row * maskStride + x / 8];
                const bool clear = (maskByte >> (7 - x % 8) & 1) != 0;
                if (clear != (expected >> 24 == 0))
                    ++wrongMask;
            }
        }
        EXPECT_EQ(wrongColours, 0) << size << " px image: pixels that squareIcon draws otherwise";
        EXPECT_EQ(wrongMask, 0) << size << " px image: mask bits that disagree with the alpha";
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));
}

} // namespace
} // namespace dravix::win32
