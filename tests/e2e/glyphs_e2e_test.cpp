// The glyph cells: moving the pointer onto a slot spells the first six characters of its display
// name in the six cells under the slot buttons, and the cells keep the last name shown.

#include "tests/e2e/frames.h"
#include "tests/e2e/harness.h"

namespace dravix::e2e {
namespace {

constexpr Geometry closedPlace{300, 600, 26, 23};
constexpr Geometry openPlace{300, 300, 244, 323};

constexpr Milliseconds slideTimeout = 2000ms;

// "Notes_1" is longer than six characters and ends in a digit past the sixth; "my-app" has a
// hyphen, which has no glyph and leaves its cell blank.
const std::array<std::string_view, 6> notesCells{"bn", "bo", "bt", "be", "bs", "minmin"};
const std::array<std::string_view, 6> myAppCells{"bm", "by", "space", "ba", "bp", "bp"};

class GlyphCells : public DravixTest {
protected:
    void SetUp() override {
        startWith(positionFile(closedPlace.top, closedPlace.left),
                  slotList({{3, {"/home/me/Notes_1.txt", "Notes_1"}},
                            {5, {"/home/me/my-app.sh", "my-app"}}}));
        ASSERT_TRUE(waitForMainWindow(closedPlace));
        ASSERT_NO_FATAL_FAILURE(open());
        // Nothing has been hovered yet: the cells are blank.
        ASSERT_TRUE(waitForImage(openFrame(), "open-before-hover"));
    }

    void open() {
        clickAt(toggleX, toggleY, Button::left);
        ASSERT_TRUE(waitForGeometry(openPlace, slideTimeout));
    }
};

TEST_F(GlyphCells, HoveringASlotSpellsTheFirstSixCharactersOfItsName) {
    hoverAt(slotX, slotY(3));
    EXPECT_TRUE(waitForImage(openFrame(notesCells), "slot-3-Notes_1"));

    hoverAt(slotX, slotY(5));
    EXPECT_TRUE(waitForImage(openFrame(myAppCells), "slot-5-my-app"));

    // Back on slot 3 from another slot: its name again.
    hoverAt(slotX, slotY(3));
    EXPECT_TRUE(waitForImage(openFrame(notesCells), "slot-3-again"));
}

TEST_F(GlyphCells, TheLastNameShownStaysThroughClosingAndReopening) {
    hoverAt(slotX, slotY(5));
    ASSERT_TRUE(waitForImage(openFrame(myAppCells), "slot-5-my-app"));

    clickAt(toggleX, openToggleTop + toggleY, Button::left);
    ASSERT_TRUE(waitForGeometry(closedPlace, slideTimeout));
    ASSERT_NO_FATAL_FAILURE(open());
    EXPECT_TRUE(waitForImage(openFrame(myAppCells), "reopened"));
}

} // namespace
} // namespace dravix::e2e
