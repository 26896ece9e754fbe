// The glyph cells of an arbitrary name: the cells must spell the start of the name one
// character each (a valid UTF-8 sequence, or one stray byte where none starts), every glyph
// named must be a picture the store holds, and the display must show exactly those pictures.

#include "assets/picture_store.h"
#include "glyphs/glyph_display.h"
#include "scene/scene.h"
#include "tests/fuzz/fuzz_check.h"

#include <optional>
#include <stdexcept>
#include <string>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

// The length of the UTF-8 sequence at the start of text, worked out from the code point it
// decodes to; 0 when no valid sequence of two or more bytes starts there.
std::size_t referenceSequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t codePoint = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (byte & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
        (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

// The glyph table: a letter of either case gives "b" and the small letter, a digit "c" and the
// digit, and three marks their own pictures.
std::optional<std::string> referenceGlyph(std::string_view character) {
    if (character.size() != 1)
        return std::nullopt;
    const char c = character[0];
    if (c >= 'a' && c <= 'z')
        return "b" + std::string(1, c);
    if (c >= 'A' && c <= 'Z')
        return "b" + std::string(1, static_cast<char>(c - 'A' + 'a'));
    if (c >= '0' && c <= '9')
        return "c" + std::string(1, c);
    if (c == '.')
        return "toch";
    if (c == '_')
        return "minmin";
    if (c == ' ')
        return "space";
    return std::nullopt;
}

const Picture& heldPicture(std::string_view name) {
    try {
        return storePicture(name);
    } catch (const std::out_of_range&) {
        propertyBroken("a glyph names a picture the store does not hold", __FILE__, __LINE__);
    }
}

const Picture& glyphOrSpace(std::string_view character) {
    const std::optional<std::string_view> glyph = glyphPictureFor(character);
    const std::optional<std::string> expected = referenceGlyph(character);
    FUZZ_CHECK(glyph.has_value() == expected.has_value());
    FUZZ_CHECK(!glyph || *glyph == *expected);
    const Picture& picture = heldPicture(glyph.value_or("space"));
    const Picture& space = heldPicture("space");
    FUZZ_CHECK(picture.width() == space.width() && picture.height() == space.height());
    return picture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name = asText(data, size);

    // The whole input as one character.
    glyphOrSpace(name);

    const auto cells = leadingCharacters(name);
    std::string_view rest = name;
    for (const std::string_view cell : cells) {
        if (cell.empty()) {
            FUZZ_CHECK(rest.empty()); // a cell stays empty only when the name has run out
            continue;
        }
        FUZZ_CHECK(rest.starts_with(cell));
        FUZZ_CHECK(cell.data() == rest.data()); // a view into the name, not a copy
        const std::size_t sequence = referenceSequenceLength(rest);
        FUZZ_CHECK(cell.size() == (sequence == 0 ? 1 : sequence));
        rest.remove_prefix(cell.size());
    }

    // The display shows each cell's glyph, or the blank one.
    static Scene scene;
    GlyphDisplay display(scene);
    const int slot = static_cast<int>(size % slotCount);
    SlotRecords records;
    records[slot].name = std::string(name);
    display.knMouseMove(slot, records);
    FUZZ_CHECK(display.shownSlot() == slot + 1);
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
        const Element& shown = scene.element(scene.find("w" + std::to_string(cell + 1)));
        FUZZ_CHECK(shown.picture == &glyphOrSpace(cells[cell]));
    }
    return 0;
}
