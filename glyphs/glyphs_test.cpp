#include "glyphs/glyph_display.h"

#include "app/core_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace dravix {
namespace {

using testing::CoreFixture;
using testing::frameShows;

TEST(GlyphTable, LettersDigitsAndThreeMarks) {
    EXPECT_EQ(glyphPictureFor("Q"), "bq");
    EXPECT_EQ(glyphPictureFor("q"), "bq");
    EXPECT_EQ(glyphPictureFor("A"), "ba");
    EXPECT_EQ(glyphPictureFor("z"), "bz");
    EXPECT_EQ(glyphPictureFor("0"), "c0");
    EXPECT_EQ(glyphPictureFor("9"), "c9");
    EXPECT_EQ(glyphPictureFor("."), "toch");
    EXPECT_EQ(glyphPictureFor("_"), "minmin");
    EXPECT_EQ(glyphPictureFor(" "), "space");
    for (const char* none : {"", "-", "@", "[", "`", "{", "/", ":", "\xc3\xa9", "\x80", "Ab"})
        EXPECT_FALSE(glyphPictureFor(none)) << none;
}

TEST(LeadingCharacters, OneCellPerUtf8SequenceOrStrayByte) {
    using Cells = std::array<std::string_view, 6>;
    EXPECT_EQ(leadingCharacters("Ab"), (Cells{"A", "b", "", "", "", ""}));
    EXPECT_EQ(leadingCharacters("caf\xc3\xa9s!x"), (Cells{"c", "a", "f", "\xc3\xa9", "s", "!"}));
    EXPECT_EQ(leadingCharacters("\xe2\x82\xac"
                                "1"),
              (Cells{"\xe2\x82\xac", "1", "", "", "", ""}));
    EXPECT_EQ(leadingCharacters("\xf0\x9f\x98\x80z"),
              (Cells{"\xf0\x9f\x98\x80", "z", "", "", "", ""}));
    // Invalid UTF-8: each stray byte takes its own cell.
    EXPECT_EQ(leadingCharacters("\xff"
                                "a\xc3"),
              (Cells{"\xff", "a", "\xc3", "", "", ""}));
    EXPECT_EQ(leadingCharacters("\xc0\xaf"
                                "b"),
              (Cells{"\xc0", "\xaf", "b", "", "", ""}))
        << "overlong form";
    EXPECT_EQ(leadingCharacters("\xed\xa0\x80"), (Cells{"\xed", "\xa0", "\x80", "", "", ""}))
        << "surrogate";
    EXPECT_EQ(leadingCharacters("\xe2\x82"), (Cells{"\xe2", "\x82", "", "", "", ""}))
        << "cut short";
    // Every byte of these is a stray of its own: overlong, beyond U+10FFFF, no lead byte, a
    // sequence broken by a lead byte or by ASCII, and one cut short by the end of the name.
    for (const std::string_view invalid :
         {std::string_view("\xe0\x80\x80"), std::string_view("\xf4\x90\x80\x80"),
          std::string_view("\xf5\x80\x80\x80"), std::string_view("\xe2\x82\xc3"),
          std::string_view("\xe2\x82"
                           "a"),
          std::string_view("\xe2\x82\xac", 2)}) {
        const Cells cells = leadingCharacters(invalid);
        for (std::size_t i = 0; i < invalid.size(); ++i)
            EXPECT_EQ(cells[i], invalid.substr(i, 1)) << "byte " << i << " of " << invalid;
    }
}

class GlyphCells : public CoreFixture {
protected:
    void startWithNames(const std::array<std::string, 10>& names) {
        std::string lines;
        for (const std::string& name : names)
            lines += "/x/" + name + "\r\n" + name + "\r\n";
        start(lines);
        openStrip();
    }

    // What the six cells show on screen, as store names, checked pixel for pixel.
    ::testing::AssertionResult cellsShow(const std::array<std::string, 6>& glyphs) {
        for (int cell = 0; cell < 6; ++cell) {
            const std::string cellName{'w', static_cast<char>('1' + cell)};
            if (&pictureShownBy(cellName) != &storePicture(glyphs[cell]))
                return ::testing::AssertionFailure() << cellName << " is not " << glyphs[cell];
            auto shown =
                frameShows(desktop.lastFrame(), 4, 216 + 13 * cell, storePicture(glyphs[cell]));
            if (!shown)
                return shown << " (" << cellName << ")";
        }
        return ::testing::AssertionSuccess();
    }
};

TEST_F(GlyphCells, SpellTheFirstSixCharactersOfTheHoveredSlot) {
    startWithNames(
        {"Ab", "a.b_1", "my-app", "notepad2", "  x", "caf\xc3\xa9s", "", "ABC", "abc", "Ab"});
    EXPECT_TRUE(cellsShow({"space", "space", "space", "space", "space", "space"}));
    hover("kn0");
    EXPECT_TRUE(cellsShow({"ba", "bb", "space", "space", "space", "space"}));
    hover("kn1");
    EXPECT_TRUE(cellsShow({"ba", "toch", "bb", "minmin", "c1", "space"}));
    hover("kn2");
    EXPECT_TRUE(cellsShow({"bm", "by", "space", "ba", "bp", "bp"}));
    hover("kn3");
    EXPECT_TRUE(cellsShow({"bn", "bo", "bt", "be", "bp", "ba"}));
    hover("kn4");
    EXPECT_TRUE(cellsShow({"space", "space", "bx", "space", "space", "space"}));
    hover("kn5");
    EXPECT_TRUE(cellsShow({"bc", "ba", "bf", "space", "bs", "space"}));
    hover("kn6");
    EXPECT_TRUE(cellsShow({"space", "space", "space", "space", "space", "space"}));
    hover("kn7");
    EXPECT_TRUE(cellsShow({"ba", "bb", "bc", "space", "space", "space"}));
    hover("kn8");
    EXPECT_TRUE(cellsShow({"ba", "bb", "bc", "space", "space", "space"}));
}

TEST_F(GlyphCells, KeyedBySlotNotByNameAndNeverCleared) {
    startWithNames({"Ab", "", "", "", "", "", "", "", "", "Ab"});
    EXPECT_EQ(form->glyphs().shownSlot(), 0) << "none before the first hover";
    hover("kn0");
    EXPECT_EQ(form->glyphs().shownSlot(), 1);
    const int frames = desktop.frameCount();
    hover("kn0");
    EXPECT_EQ(desktop.frameCount(), frames) << "staying on the shown slot redraws nothing";
    hover("kn9");
    EXPECT_EQ(form->glyphs().shownSlot(), 10);

    click("ProcBMP");
    tickUntilSettled();
    openStrip();
    EXPECT_EQ(form->glyphs().shownSlot(), 10);
    EXPECT_TRUE(cellsShow({"ba", "bb", "space", "space", "space", "space"}))
        << "the name survives closing and reopening";
}

TEST_F(GlyphCells, NewFileForTheShownSlotIsShownOnlyAfterAnotherSlot) {
    startWithNames({"Ab", "zz", "", "", "", "", "", "", "", ""});
    hover("kn0");
    desktop.queueDialogAnswer("/usr/bin/Xterm");
    click("kn0", MouseButton::right);
    hover("kn0");
    EXPECT_TRUE(cellsShow({"ba", "bb", "space", "space", "space", "space"}));
    hover("kn1");
    hover("kn0");
    EXPECT_TRUE(cellsShow({"bx", "bt", "be", "br", "bm", "space"}));
}

TEST_F(GlyphCells, LeftHeldAfterAPressShowsOnlyThePressedSlot) {
    startWithNames({"Ab", "zz", "Qq", "", "", "", "", "", "", ""});
    press("kn2");
    hover("kn0");
    hover("kn1");
    EXPECT_EQ(form->glyphs().shownSlot(), 3);
    EXPECT_TRUE(cellsShow({"bq", "bq", "space", "space", "space", "space"}));
}

TEST_F(GlyphCells, RightHeldShowsEverySlotPassedOver) {
    startWithNames({"Ab", "zz", "Qq", "", "", "", "", "", "", ""});
    press("kn2", MouseButton::right);
    hover("kn0");
    EXPECT_EQ(form->glyphs().shownSlot(), 1);
    hover("kn1");
    EXPECT_EQ(form->glyphs().shownSlot(), 2);
    EXPECT_TRUE(cellsShow({"bz", "bz", "space", "space", "space", "space"}));
}

} // namespace
} // namespace dravix
