#include "platform/x11/x11_scale.h"

#include "platform/scale.h"

#include <gtest/gtest.h>

namespace {

using dravix::x11::scaleFromResources;

// The resources as desktops write them; the factor is rounded half up, at least 1 and at most
// maxScale, and a value that is no number counts as none.
TEST(ScaleFromResources, XftDpiOverNinetySixRoundedHalfUp) {
    const struct {
        const char* resources;
        int scale;
    } cases[] = {
        {nullptr, 1},
        {"Xcursor.size:\t24\n", 1},
        {"Xft.dpi:\t96\n", 1},
        {"Xft.antialias:\t1\nXft.dpi:\t120\nXft.hinting:\t1\n", 1},
        {"Xft.dpi: 144\n", 2},
        {"Xft.dpi:\t192\nXcursor.size:\t48\n", 2},
        {"*dpi: 288\n", 3},
        {"Xft.dpi: 40\n", 1},
        {"Xft.dpi: 96000\n", dravix::maxScale},
        {"Xft.dpi: 192 dots\n", 1},
        {"Xft.dpi: 192 \n", 2},
        {"Xft.dpi: nan\n", 1},
    };
    for (const auto& each : cases)
        EXPECT_EQ(scaleFromResources(each.resources), each.scale)
            << (each.resources != nullptr ? each.resources : "no resources");
}

// A screen pixel belongs to the program pixel whose block holds it, also left of and above the
// window, so that a drag steps evenly across its edge.
TEST(ProgramPixel, TheBlockThatHoldsTheScreenPixelOnEitherSideOfTheEdge) {
    const struct {
        int screen, scale, program;
    } rows[] = {{-3, 2, -2}, {-2, 2, -1}, {-1, 2, -1}, {0, 2, 0},
                {1, 2, 0},   {3, 2, 1},   {-5, 1, -5}, {-4, 3, -2}};
    for (const auto& row : rows)
        EXPECT_EQ(dravix::programPixel(row.screen, row.scale), row.program)
            << row.screen << " / " << row.scale;
}

} // namespace
