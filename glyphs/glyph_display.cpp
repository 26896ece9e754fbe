#include "glyphs/glyph_display.h"

#include <cassert>

namespace dravix {
namespace {

// clang-format off
constexpr std::string_view letterGlyphs[26] = {
    "ba", "bb", "bc", "bd", "be", "bf", "bg", "bh", "bi", "bj", "bk", "bl", "bm",
    "bn", "bo", "bp", "bq", "br", "bs", "bt", "bu", "bv", "bw", "bx", "by", "bz",
};
constexpr std::string_view digitGlyphs[10] = {
    "c0", "c1", "c2", "c3", "c4", "c5", "c6", "c7", "c8", "c9",
};
// clang-format on

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at the start of text, or 1 for a byte that does not
// start one (so a stray byte still takes one cell).
std::size_t sequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    if (text.size() < length)
        return 1;
    const auto second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high)
        return 1;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(static_cast<unsigned char>(text[i])))
            return 1;
    }
    return length;
}

} // namespace

std::optional<std::string_view> glyphPictureFor(std::string_view character) {
    if (character.size() != 1)
        return std::nullopt;
    const char c = character[0];
    if (c >= 'A' && c <= 'Z')
        return letterGlyphs[c - 'A'];
    if (c >= 'a' && c <= 'z')
        return letterGlyphs[c - 'a'];
    if (c >= '0' && c <= '9')
        return digitGlyphs[c - '0'];
    if (c == '.')
        return "toch";
    if (c == '_')
        return "minmin";
    if (c == ' ')
        return "space";
    return std::nullopt;
}

std::array<std::string_view, glyphCellCount> leadingCharacters(std::string_view name) {
    std::array<std::string_view, glyphCellCount> characters{};
    for (std::string_view& character : characters) {
        if (name.empty())
            break;
        const std::size_t length = sequenceLength(name);
        character = name.substr(0, length);
        name.remove_prefix(length);
    }
    return characters;
}

GlyphDisplay::GlyphDisplay(Scene& scene) : scene_(scene) {
    constexpr std::string_view cellNames[glyphCellCount] = {"w1", "w2", "w3", "w4", "w5", "w6"};
    for (int cell = 0; cell < glyphCellCount; ++cell)
        cells_[cell] = scene.find(cellNames[cell]);
}

void GlyphDisplay::knMouseMove(int slot, const SlotRecords& records) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    if (shownSlot_ == slot + 1)
        return;
    shownSlot_ = slot + 1;
    const auto characters = leadingCharacters(records[slot].name);
    for (int cell = 0; cell < glyphCellCount; ++cell)
        scene_.takePicture(cells_[cell], glyphPictureFor(characters[cell]).value_or("space"));
}

} // namespace dravix
