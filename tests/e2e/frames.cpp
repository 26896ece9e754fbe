#include "tests/e2e/frames.h"

#include "assets/picture_store.h"

#include <string>

namespace dravix::e2e {

Image closedFrame() {
    Image frame(26, 23);
    frame.paste(storePicture("k1"), 0, 0);
    frame.paste(storePicture("authBmp"), 0, 0, 1, 23, 25, 0);
    return frame;
}

Image openFrame(const std::array<std::string_view, 6>& cells) {
    Image frame(244, 323);
    frame.paste(storePicture("backBMP"), 0, 0);
    for (int slot = 0; slot < 10; ++slot) {
        frame.paste(storePicture("kk" + std::to_string(slot)), 4, slotButtonTops[slot]);
    }
    for (int cell = 0; cell < 6; ++cell) {
        frame.paste(storePicture(cells[cell]), 4, firstGlyphCellTop + glyphCellPitch * cell);
    }
    frame.paste(storePicture("k2"), 0, 300);
    frame.paste(storePicture("authBmp"), 25, 0);
    return frame;
}

} // namespace dravix::e2e
