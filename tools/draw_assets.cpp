// Draws every built-in picture of Dravix from code and writes each one as an uncompressed
// 24-bit BMP file into the folder given on the command line:
//
//   draw_assets <output folder>
//
// The output is committed in assets/ and embedded by the build; a test runs this program again
// and compares the bytes, so the pictures are changed here and nowhere else. Everything is
// integer arithmetic, so every run on every machine writes the same bytes.

#include "assets/bmp.h"
#include "assets/picture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using dravix::Rgb;

// ---------------------------------------------------------------------------------------------
// Canvas and colour helpers

class Canvas {
public:
    Canvas(int width, int height, Rgb fill = {})
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

    int width() const { return width_; }
    int height() const { return height_; }

    Rgb at(int x, int y) const { return pixels_[index(x, y)]; }

    // Drawing outside the canvas is clipped, so shapes near an edge need no special cases.
    void set(int x, int y, Rgb colour) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return;
        pixels_[index(x, y)] = colour;
    }

    void fillRect(int x, int y, int width, int height, Rgb colour) {
        for (int row = y; row < y + height; ++row)
            for (int column = x; column < x + width; ++column)
                set(column, row, colour);
    }

    std::vector<std::uint8_t> rgbBytes() const {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(pixels_.size() * 3);
        for (const Rgb& pixel : pixels_) {
            bytes.push_back(pixel.red);
            bytes.push_back(pixel.green);
            bytes.push_back(pixel.blue);
        }
        return bytes;
    }

    friend bool operator==(const Canvas&, const Canvas&) = default;

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

// The colour `step` steps of `steps` on the way from `from` to `to`, rounded to nearest.
Rgb mix(Rgb from, Rgb to, int step, int steps) {
    auto channel = [&](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>((a * (steps - step) + b * step + steps / 2) / steps);
    };
    return {channel(from.red, to.red), channel(from.green, to.green), channel(from.blue, to.blue)};
}

constexpr Rgb white{255, 255, 255};
constexpr Rgb black{0, 0, 0};

Rgb lighter(Rgb colour, int step, int steps) {
    return mix(colour, white, step, steps);
}
Rgb darker(Rgb colour, int step, int steps) {
    return mix(colour, black, step, steps);
}

// Fills a rectangle with colours running from `left` in its first column to `right` in its last.
void horizontalGradient(Canvas& canvas, int x, int y, int width, int height, Rgb left, Rgb right) {
    for (int column = 0; column < width; ++column) {
        const Rgb colour = width == 1 ? left : mix(left, right, column, width - 1);
        canvas.fillRect(x + column, y, 1, height, colour);
    }
}

// A one-pixel rectangle outline.
void frame(Canvas& canvas, int x, int y, int width, int height, Rgb colour) {
    canvas.fillRect(x, y, width, 1, colour);
    canvas.fillRect(x, y + height - 1, width, 1, colour);
    canvas.fillRect(x, y, 1, height, colour);
    canvas.fillRect(x + width - 1, y, 1, height, colour);
}

// ---------------------------------------------------------------------------------------------
// Pixel fonts
//
// A font is written as sheets: each row of a sheet holds the same row of every character on it,
// characters separated by one space; '#' is ink and '.' is paper. Characters may differ in
// width, as long as every row of a sheet splits into the same widths.

struct FontSheet {
    std::string_view characters;
    std::vector<std::string_view> rows;
};

class PixelFont {
public:
    PixelFont(int height, std::initializer_list<FontSheet> sheets) : height_(height) {
        for (const FontSheet& sheet : sheets)
            addSheet(sheet);
    }

    int height() const { return height_; }

    // Characters without a drawing are drawn as a gap of `spaceWidth`.
    int charWidth(char c) const {
        auto found = glyphs_.find(c);
        return found == glyphs_.end() ? spaceWidth_ : found->second.width;
    }

    int textWidth(std::string_view text, int scale = 1) const {
        int width = 0;
        for (char c : text)
            width += (charWidth(c) + 1) * scale;
        return text.empty() ? 0 : width - scale;
    }

    void drawChar(Canvas& canvas, int x, int y, char c, Rgb ink, int scale = 1) const {
        auto found = glyphs_.find(c);
        if (found == glyphs_.end())
            return;
        const Glyph& glyph = found->second;
        for (int row = 0; row < height_; ++row)
            for (int column = 0; column < glyph.width; ++column)
                if (glyph.rows[row][column] == '#')
                    canvas.fillRect(x + column * scale, y + row * scale, scale, scale, ink);
    }

    void drawText(Canvas& canvas, int x, int y, std::string_view text, Rgb ink,
                  int scale = 1) const {
        for (char c : text) {
            drawChar(canvas, x, y, c, ink, scale);
            x += (charWidth(c) + 1) * scale;
        }
    }

private:
    struct Glyph {
        int width = 0;
        std::vector<std::string_view> rows;
    };

    void addSheet(const FontSheet& sheet) {
        if (static_cast<int>(sheet.rows.size()) != height_)
            fail("a font sheet has the wrong number of rows");
        for (int row = 0; row < height_; ++row) {
            std::string_view rest = sheet.rows[row];
            for (char c : sheet.characters) {
                const std::size_t end = std::min(rest.find(' '), rest.size());
                Glyph& glyph = glyphs_[c];
                if (row == 0)
                    glyph.width = static_cast<int>(end);
                else if (glyph.width != static_cast<int>(end))
                    fail("a font sheet's rows disagree on a character's width");
                glyph.rows.push_back(rest.substr(0, end));
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            if (!rest.empty())
                fail("a font sheet row holds more characters than the sheet names");
        }
    }

    [[noreturn]] static void fail(const char* message) {
        std::fprintf(stderr, "draw_assets: %s\n", message);
        std::exit(EXIT_FAILURE);
    }

    int height_;
    int spaceWidth_ = 3;
    std::map<char, Glyph> glyphs_;
};

// The 5 x 7 font of the glyph cells, the slot digits, headings and the wordmark.
// clang-format off
const PixelFont largeFont(7, {
    {"0123456789", {
        ".###. ..#.. .###. ##### ...#. ##### ..##. ##### .###. .###.",
        "#...# .##.. #...# ...#. ..##. #.... .#... ....# #...# #...#",
        "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#. #...# #...#",
        "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#.. .###. .####",
        "##..# ..#.. ..#.. ....# ##### ....# #...# .#... #...# ....#",
        "#...# ..#.. .#... #...# ...#. #...# #...# .#... #...# ...#.",
        ".###. .###. ##### .###. ...#. .###. .###. .#... .###. .##..",
    }},
    {"ABCDEFGHIJKLM", {
        ".###. ####. .###. ###.. ##### ##### .###. #...# .###. ..### #...# #.... #...#",
        "#...# #...# #...# #..#. #.... #.... #...# #...# ..#.. ...#. #..#. #.... ##.##",
        "#...# #...# #.... #...# #.... #.... #.... #...# ..#.. ...#. #.#.. #.... #.#.#",
        "##### ####. #.... #...# ####. ####. #.### ##### ..#.. ...#. ##... #.... #.#.#",
        "#...# #...# #.... #...# #.... #.... #...# #...# ..#.. ...#. #.#.. #.... #...#",
        "#...# #...# #...# #..#. #.... #.... #...# #...# ..#.. #..#. #..#. #.... #...#",
        "#...# ####. .###. ###.. ##### #.... .#### #...# .###. .##.. #...# ##### #...#",
    }},
    {"NOPQRSTUVWXYZ", {
        "#...# .###. ####. .###. ####. .#### ##### #...# #...# #...# #...# #...# #####",
        "#...# #...# #...# #...# #...# #.... ..#.. #...# #...# #...# #...# #...# ....#",
        "##..# #...# #...# #...# #...# #.... ..#.. #...# #...# #...# .#.#. .#.#. ...#.",
        "#.#.# #...# ####. #...# ####. .###. ..#.. #...# #...# #.#.# ..#.. ..#.. ..#..",
        "#..## #...# #.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.# .#.#. ..#.. .#...",
        "#...# #...# #.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.# #...# ..#.. #....",
        "#...# .###. #.... .##.# #...# ####. ..#.. .###. ..#.. .#.#. #...# ..#.. #####",
    }},
    {"aivrx", {
        "..... ..#.. ..... ..... .....",
        "..... ..... ..... ..... .....",
        ".###. .##.. #...# #.##. #...#",
        "....# ..#.. #...# ##..# .#.#.",
        ".#### ..#.. #...# #.... ..#..",
        "#...# ..#.. .#.#. #.... .#.#.",
        ".#### .###. ..#.. #.... #...#",
    }},
});

// The 3 x 5 font of the information picture's small text; M, N and W need more room.
const PixelFont smallFont(5, {
    {"ABCDEFGHIJKLM", {
        ".#. ##. .## ##. ### ### .## #.# ### ..# #.# #.. #...#",
        "#.# #.# #.. #.# #.. #.. #.. #.# .#. ..# #.# #.. ##.##",
        "### ##. #.. #.# ##. ##. #.# ### .#. ..# ##. #.. #.#.#",
        "#.# #.# #.. #.# #.. #.. #.# #.# .#. #.# #.# #.. #...#",
        "#.# ##. .## ##. ### #.. .## #.# ### .#. #.# ### #...#",
    }},
    {"NOPQRSTUVWXYZ", {
        "#..# .#. ##. .#. ##. .## ### #.# #.# #...# #.# #.# ###",
        "##.# #.# #.# #.# #.# #.. .#. #.# #.# #...# #.# #.# ..#",
        "#.## #.# ##. #.# ##. .#. .#. #.# #.# #.#.# .#. .#. .#.",
        "#..# #.# #.. ##. #.# ..# .#. #.# #.# ##.## #.# .#. #..",
        "#..# .#. #.. .## #.# ##. .#. ### .#. #...# #.# .#. ###",
    }},
    {"0123456789", {
        "### .#. ##. ##. #.# ### .## ### ### ###",
        "#.# ##. ..# ..# #.# #.. #.. ..# #.# #.#",
        "#.# .#. .#. .#. ### ##. ### .#. ### ###",
        "#.# .#. #.. ..# ..# ..# #.# .#. #.# ..#",
        "### ### ### ##. ..# ##. ### .#. ### ##.",
    }},
    {".,:'-!/", {
        ". . . # ... # ..#",
        ". . # # ... # ..#",
        ". . . . ### # .#.",
        ". # # . ... . #..",
        "# # . . ... # #..",
    }},
});
// clang-format on

// ---------------------------------------------------------------------------------------------
// Palette

constexpr Rgb tileBlue{24, 136, 255};
constexpr Rgb tileGrey{150, 156, 168};
constexpr Rgb tileFrame{26, 36, 54};

constexpr Rgb glyphBlue{34, 146, 255};
constexpr Rgb glyphGreyBlue{112, 136, 168};
constexpr Rgb glyphDark{22, 26, 34}; // the "." and "_" marks: dark but not black

constexpr Rgb panelBlue{16, 132, 240};
constexpr Rgb panelGrey{146, 152, 162};
constexpr Rgb panelFrame{18, 38, 66};

constexpr Rgb lightGreen{146, 244, 132};
constexpr Rgb paleGreen{214, 255, 204};
constexpr Rgb deepGreen{56, 128, 52};
constexpr Rgb lineBlue{40, 116, 236};

constexpr Rgb dotBlue{44, 124, 250};
constexpr Rgb dotShadowTeal{0, 70, 78};

constexpr Rgb infoBlue{0, 120, 160}; // the information picture's field
constexpr Rgb infoInk{0, 38, 58};
constexpr Rgb infoLight{64, 172, 212};

// ---------------------------------------------------------------------------------------------
// The toggle

// A chip of 12 x 11 units: an 8 x 11 body with three pins on each side. Each unit is
// scale x scale pixels. Lit, the body glows light green; unlit it is almost black.
void drawChip(Canvas& canvas, int x, int y, int scale, bool lit) {
    constexpr Rgb pinDark{60, 66, 78};
    constexpr Rgb pinTip{88, 96, 110};
    const Rgb body = lit ? lightGreen : Rgb{30, 34, 42};
    const Rgb topEdge = lit ? paleGreen : Rgb{66, 72, 86};
    const Rgb leftEdge = lit ? Rgb{186, 250, 172} : Rgb{48, 54, 66};
    const Rgb lowEdge = lit ? deepGreen : Rgb{18, 20, 26};
    const Rgb notch = lit ? deepGreen : Rgb{80, 88, 104};

    auto unit = [&](int ux, int uy, Rgb colour) {
        canvas.fillRect(x + ux * scale, y + uy * scale, scale, scale, colour);
    };
    for (int pinRow : {2, 5, 8}) {
        unit(0, pinRow, pinTip);
        unit(1, pinRow, pinDark);
        unit(10, pinRow, pinDark);
        unit(11, pinRow, pinTip);
    }
    for (int uy = 0; uy < 11; ++uy)
        for (int ux = 2; ux < 10; ++ux)
            unit(ux, uy, body);
    for (int ux = 2; ux < 10; ++ux) {
        unit(ux, 0, topEdge);
        unit(ux, 10, lowEdge);
    }
    for (int uy = 1; uy < 10; ++uy) {
        unit(2, uy, leftEdge);
        unit(9, uy, lowEdge);
    }
    unit(3, 1, notch); // marks pin one, as on a real package
}

Canvas drawToggle(bool open) {
    constexpr int width = 26;
    constexpr int height = 23;
    Canvas tile(width, height);
    horizontalGradient(tile, 1, 1, width - 2, height - 2, tileBlue, tileGrey);

    // A bevel: light along the top and left inner edge, shade along the bottom and right.
    for (int x = 1; x < width - 1; ++x) {
        tile.set(x, 1, lighter(tile.at(x, 1), 2, 5));
        tile.set(x, height - 2, darker(tile.at(x, height - 2), 1, 4));
    }
    for (int y = 2; y < height - 2; ++y) {
        tile.set(1, y, lighter(tile.at(1, y), 2, 5));
        tile.set(width - 2, y, darker(tile.at(width - 2, y), 1, 4));
    }

    frame(tile, 0, 0, width, height, tileFrame);
    for (int x : {0, width - 1})
        for (int y : {0, height - 1})
            tile.set(x, y, black);

    // The chip sits in the middle; its shadow falls one pixel right and down.
    constexpr int chipX = 7;
    constexpr int chipY = 6;
    for (int y = chipY + 1; y <= chipY + 11; ++y)
        tile.set(chipX + 10, y, darker(tile.at(chipX + 10, y), 1, 3));
    for (int x = chipX + 3; x <= chipX + 10; ++x)
        tile.set(x, chipY + 11, darker(tile.at(x, chipY + 11), 1, 3));
    drawChip(tile, chipX, chipY, 1, open);
    return tile;
}

// ---------------------------------------------------------------------------------------------
// Slot buttons

Canvas drawSlotKey(int digit, bool pressed) {
    constexpr int width = 21;
    constexpr int height = 13;
    Canvas key(width, height);

    for (int y = 0; y < height; ++y)
        key.fillRect(0, y, width, 1, mix({134, 138, 146}, {100, 104, 112}, y, height - 1));
    for (int x = 1; x < width - 1; ++x) {
        key.set(x, 1, {186, 190, 198});
        key.set(x, height - 2, {76, 80, 88});
    }
    for (int y = 1; y < height - 1; ++y) {
        key.set(1, y, {186, 190, 198});
        key.set(width - 2, y, {76, 80, 88});
    }
    frame(key, 0, 0, width, height, {50, 54, 62});
    // Softened corners make the key look rounded at this size.
    for (int x : {0, width - 1})
        for (int y : {0, height - 1})
            key.set(x, y, {96, 104, 118});

    // The digit; the black one of the pressed key gets a light edge below and right, as if
    // pressed into the key.
    const char digitChar = static_cast<char>('0' + digit);
    if (pressed) {
        largeFont.drawChar(key, 4, 4, digitChar, {152, 156, 164});
        largeFont.drawChar(key, 3, 3, digitChar, black);
    } else {
        largeFont.drawChar(key, 3, 3, digitChar, lightGreen);
    }

    // The indicator: a bar between two thin blue lines.
    constexpr int barX = 10;
    constexpr int barWidth = 8;
    key.fillRect(barX, 3, barWidth, 1, lineBlue);
    key.fillRect(barX, 9, barWidth, 1, lineBlue);
    if (pressed) {
        key.fillRect(barX, 5, barWidth, 3, lightGreen);
        key.fillRect(barX + 1, 6, barWidth - 2, 1, paleGreen);
    } else {
        key.fillRect(barX, 5, barWidth, 3, {40, 44, 54});
        key.fillRect(barX, 5, barWidth, 1, {28, 30, 38});
    }
    return key;
}

// ---------------------------------------------------------------------------------------------
// Glyph cells

constexpr int glyphWidth = 13;
constexpr int glyphHeight = 12;

Canvas glyphBackground() {
    Canvas cell(glyphWidth, glyphHeight);
    horizontalGradient(cell, 0, 0, glyphWidth, glyphHeight, glyphBlue, glyphGreyBlue);
    return cell;
}

// A black character of the 5 x 7 font, centred across the cell.
Canvas drawGlyph(char c) {
    Canvas cell = glyphBackground();
    largeFont.drawChar(cell, (glyphWidth - 5) / 2, 2, c, black);
    return cell;
}

Canvas drawDotGlyph() {
    Canvas cell = glyphBackground();
    cell.set(glyphWidth / 2, glyphHeight - 1, glyphDark);
    return cell;
}

Canvas drawUnderscoreGlyph() {
    Canvas cell = glyphBackground();
    cell.fillRect(5, glyphHeight - 1, 4, 1, glyphDark);
    return cell;
}

// ---------------------------------------------------------------------------------------------
// Backdrops

Canvas drawStripBackdrop() {
    Canvas backdrop(26, 351, black);
    // Two dots in every 6 x 6 cell, on opposite corners of it, so that the rows stagger.
    for (int y = 0; y < backdrop.height(); ++y) {
        for (int x = 0; x < backdrop.width(); ++x) {
            const int cx = x % 6;
            const int cy = y % 6;
            if ((cx == 1 && cy == 1) || (cx == 4 && cy == 4))
                backdrop.set(x, y, dotBlue);
            else if ((cx == 1 && cy == 2) || (cx == 4 && cy == 5))
                backdrop.set(x, y, dotShadowTeal);
        }
    }
    return backdrop;
}

Canvas drawSlotPanel() {
    Canvas panel(26, 300);
    horizontalGradient(panel, 1, 1, panel.width() - 2, panel.height() - 2, panelBlue, panelGrey);
    frame(panel, 0, 0, panel.width(), panel.height(), panelFrame);
    return panel;
}

// ---------------------------------------------------------------------------------------------
// The information picture

// Splits text into lines no wider than maxWidth pixels in the font, breaking between words.
std::vector<std::string> wrap(const PixelFont& font, std::string_view text, int maxWidth) {
    std::vector<std::string> lines;
    std::string line;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(' '), text.size());
        const std::string_view word = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::string candidate =
            line.empty() ? std::string(word) : line + ' ' + std::string(word);
        if (!line.empty() && font.textWidth(candidate) > maxWidth) {
            lines.push_back(line);
            line = std::string(word);
        } else {
            line = candidate;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

// The emblem: the toggle's chip, lit, on a round badge.
void drawEmblem(Canvas& canvas, int centreX, int centreY) {
    constexpr int radius = 28;
    constexpr int ring = 2;
    for (int y = centreY - radius - 1; y <= centreY + radius + 1; ++y) {
        for (int x = centreX - radius - 1; x <= centreX + radius + 1; ++x) {
            const int dx = x - centreX;
            const int dy = y - centreY;
            const int distance2 = dx * dx + dy * dy;
            // radius^2 + radius rounds the outline to the nearest pixel.
            if (distance2 > radius * radius + radius)
                continue;
            const int inner = radius - ring;
            if (distance2 > inner * inner + inner) {
                canvas.set(x, y, infoInk);
                continue;
            }
            // Lit from the upper left: lighter towards that side of the badge.
            const int shade = (dx + dy) + 2 * inner; // 0 at upper left .. 4 inner at lower right
            canvas.set(x, y, mix({52, 168, 210}, {0, 96, 132}, shade, 4 * inner));
        }
    }
    // A light rim just inside the ring along the upper left.
    for (int y = centreY - radius; y <= centreY + radius; ++y) {
        for (int x = centreX - radius; x <= centreX + radius; ++x) {
            const int dx = x - centreX;
            const int dy = y - centreY;
            const int distance2 = dx * dx + dy * dy;
            const int inner = radius - ring;
            const int rim = inner - 1;
            if (distance2 <= inner * inner + inner && distance2 > rim * rim + rim && dx + dy < 0)
                canvas.set(x, y, infoLight);
        }
    }

    constexpr int scale = 3;
    const int chipX = centreX - 6 * scale;
    const int chipY = centreY - 11 * scale / 2;
    // The chip's shadow on the badge.
    for (int y = chipY + 1; y < chipY + 1 + 11 * scale; ++y)
        for (int x = chipX + 2 * scale + 1; x < chipX + 1 + 10 * scale; ++x)
            canvas.set(x, y, darker(canvas.at(x, y), 1, 3));
    drawChip(canvas, chipX, chipY, scale, true);
}

Canvas drawInformation() {
    constexpr int width = 219;
    constexpr int height = 323;
    constexpr int margin = 9;
    Canvas info(width, height, infoBlue);

    // Heading with a rule under it.
    largeFont.drawText(info, margin, 10, "QUICK GUIDE", infoInk);
    info.fillRect(margin, 21, width - 2 * margin, 1, infoInk);
    info.fillRect(margin + 1, 22, width - 2 * margin, 1, infoLight);

    const std::string_view tips[] = {
        "LEFT CLICK THE TOGGLE TO SLIDE THE STRIP OUT. LEFT CLICK IT AGAIN TO SLIDE IT BACK.",
        "LEFT CLICK A SLOT TO START ITS PROGRAM OR DOCUMENT. THE STRIP THEN CLOSES BY ITSELF.",
        "RIGHT CLICK A SLOT TO CHOOSE ITS FILE.",
        "POINT AT A SLOT TO SPELL THE FIRST SIX LETTERS OF ITS NAME UNDER THE SLOTS.",
        "ARROW KEYS MOVE THE STRIP ONE PIXEL AT A TIME.",
        "RIGHT CLICK THE TOGGLE TO QUIT. THE STRIP REMEMBERS WHERE YOU LEFT IT.",
    };
    constexpr int indent = 8;
    constexpr int lineHeight = 8;
    int y = 31;
    for (std::string_view tip : tips) {
        // A small square bullet, light on its upper left like the emblem.
        info.fillRect(margin, y + 1, 3, 3, infoInk);
        info.set(margin, y + 1, infoLight);
        for (const std::string& line : wrap(smallFont, tip, width - 2 * margin - indent)) {
            smallFont.drawText(info, margin + indent, y, line, infoInk);
            y += lineHeight;
        }
        y += 4;
    }

    constexpr int emblemY = 212;
    drawEmblem(info, width / 2, emblemY);
    const std::string_view motto = "TEN FILES, ONE CLICK AWAY";
    smallFont.drawText(info, (width - smallFont.textWidth(motto)) / 2, emblemY + 38, motto,
                       infoInk);

    // The wordmark, embossed, in the lower right corner.
    constexpr int wordScale = 2;
    const std::string_view wordmark = "Dravix";
    const int wordX = width - margin - largeFont.textWidth(wordmark, wordScale);
    const int wordY = height - margin - largeFont.height() * wordScale;
    largeFont.drawText(info, wordX + 1, wordY + 1, wordmark, infoLight, wordScale);
    largeFont.drawText(info, wordX, wordY, wordmark, infoInk, wordScale);
    info.fillRect(wordX, wordY - 6, largeFont.textWidth(wordmark, wordScale), 1, infoInk);
    return info;
}

// ---------------------------------------------------------------------------------------------

struct NamedCanvas {
    std::string name;
    Canvas canvas;
};

std::vector<NamedCanvas> drawAll() {
    std::vector<NamedCanvas> pictures;
    pictures.push_back({"k1", drawToggle(false)});
    pictures.push_back({"k2", drawToggle(true)});
    for (int digit = 0; digit < 10; ++digit) {
        pictures.push_back({"kk" + std::to_string(digit), drawSlotKey(digit, false)});
        pictures.push_back({"kk2" + std::to_string(digit), drawSlotKey(digit, true)});
    }
    for (char digit = '0'; digit <= '9'; ++digit)
        pictures.push_back({std::string("c") + digit, drawGlyph(digit)});
    for (char letter = 'a'; letter <= 'z'; ++letter)
        pictures.push_back(
            {std::string("b") + letter, drawGlyph(static_cast<char>(letter - 'a' + 'A'))});
    pictures.push_back({"toch", drawDotGlyph()});
    pictures.push_back({"minmin", drawUnderscoreGlyph()});
    pictures.push_back({"space", glyphBackground()});
    pictures.push_back({"osnBMP", drawStripBackdrop()});
    pictures.push_back({"backBMP", drawSlotPanel()});
    pictures.push_back({"authBmp", drawInformation()});
    return pictures;
}

// The window relies on telling the pictures apart by their pixels: two equal ones would be an
// artwork mistake.
bool allDifferent(const std::vector<NamedCanvas>& pictures) {
    bool different = true;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        for (std::size_t j = i + 1; j < pictures.size(); ++j) {
            if (pictures[i].canvas == pictures[j].canvas) {
                std::fprintf(stderr, "draw_assets: %s and %s are the same picture\n",
                             pictures[i].name.c_str(), pictures[j].name.c_str());
                different = false;
            }
        }
    }
    return different;
}

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_assets <output folder>\n");
        return EXIT_FAILURE;
    }
    const std::filesystem::path folder = argv[1];

    const std::vector<NamedCanvas> pictures = drawAll();
    if (!allDifferent(pictures))
        return EXIT_FAILURE;

    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "draw_assets: cannot create %s: %s\n", folder.c_str(),
                     error.message().c_str());
        return EXIT_FAILURE;
    }
    for (const NamedCanvas& picture : pictures) {
        const Canvas& canvas = picture.canvas;
        const std::filesystem::path path = folder / (picture.name + ".bmp");
        if (!writeFile(path,
                       dravix::encodeBmp(canvas.width(), canvas.height(), canvas.rgbBytes()))) {
            std::fprintf(stderr, "draw_assets: cannot write %s\n", path.c_str());
            return EXIT_FAILURE;
        }
    }
    std::printf("draw_assets: wrote %zu pictures to %s\n", pictures.size(), folder.c_str());
    return EXIT_SUCCESS;
}
