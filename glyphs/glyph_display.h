#pragma once

#include "scene/scene.h"
#include "state/stored_files.h"

#include <array>
#include <optional>
#include <string_view>

namespace dravix {

inline constexpr int glyphCellCount = 6;

// The store picture that shows one character (one UTF-8 sequence, or one stray byte), or
// nothing when the character has no glyph.
std::optional<std::string_view> glyphPictureFor(std::string_view character);

// The first `count` characters of a UTF-8 name; a byte that does not start a valid sequence
// counts as a character of its own. Missing characters are empty.
std::array<std::string_view, glyphCellCount> leadingCharacters(std::string_view name);

// The six glyph cells that spell the hovered slot's display name.
class GlyphDisplay {
public:
    explicit GlyphDisplay(Scene& scene);

    // kn0MouseMove .. kn9MouseMove: shows the slot's name unless it is already shown.
    void knMouseMove(int slot, const SlotRecords& records);
    // The slot number plus one of the name shown, 0 before the first hover.
    int shownSlot() const { return shownSlot_; }

private:
    Scene& scene_;
    std::array<ElementIndex, glyphCellCount> cells_{}; // w1 (top) to w6
    int shownSlot_ = 0;
};

} // namespace dravix
