#include "glyphs/glyph_display.h"

#include "state/utf8.h"

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

// The length of the UTF-8 sequence at the start of text, or 1 for a byte that does not start a
// valid one, so that a stray byte still takes one cell.
std::size_t sequenceLength(std::string_view text) {
    const std::size_t length = utf8SequenceLength(text);
    return length == 0 ? 1 : length;
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
