#include "platform/fltk/x11_scale.h"

#include "platform/scale.h"

#include <gtest/gtest.h>

namespace {

using dravix::fltk::scaleFromResources;

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
        {"Xft.dpi: nan\n", 1},
    };
    for (const auto& each : cases)
        EXPECT_EQ(scaleFromResources(each.resources), each.scale)
            << (each.resources != nullptr ? each.resources : "no resources");
}

} // namespace
