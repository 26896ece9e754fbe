// Reading window properties from a private X server: what each reader accepts by type, by item
// size and by length, and what a missing property gives.

// GoogleTest comes before Xlib, whose macros (None, Bool) would break its templates.
#include <gtest/gtest.h>

#include "platform/x11/x11_properties.h"
#include "tests/support/x11/private_x_server.h"

#include <X11/Xatom.h>

#include <optional>
#include <string>
#include <vector>

namespace dravix::x11 {
namespace {

TEST(X11Properties, ReadOnlyTheTypeAndItemSizeAskedForUpToTheLimit) {
    const x11test::PrivateXServer server;
    Display* const display = XOpenDisplay(server.displayName().c_str());
    ASSERT_NE(display, nullptr);
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    const Atom numbers = XInternAtom(display, "DRAVIX_NUMBERS", False);
    const Atom text = XInternAtom(display, "DRAVIX_TEXT", False);
    const Atom missing = XInternAtom(display, "DRAVIX_MISSING", False);
    const long values[] = {7, -1, 0x7fffffff, 3};
    XChangeProperty(display, window, numbers, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), 4);
    const std::string hello = "hello, world";
    XChangeProperty(display, window, text, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hello.data()),
                    static_cast<int>(hello.size()));
    XSync(display, False);

    EXPECT_EQ(cardinals(display, window, numbers, 16), (std::vector<long>{7, -1, 0x7fffffff, 3}));
    EXPECT_EQ(cardinals(display, window, numbers, 2, XA_CARDINAL), (std::vector<long>{7, -1}));
    EXPECT_EQ(cardinals(display, window, numbers, 16, XA_ATOM), std::vector<long>{});
    EXPECT_EQ(cardinals(display, window, text, 16), std::vector<long>{});
    EXPECT_EQ(cardinals(display, window, missing, 16), std::vector<long>{});

    EXPECT_EQ(bytes(display, window, text, 100, XA_STRING), hello);
    EXPECT_EQ(bytes(display, window, text, 5), "hello");
    EXPECT_EQ(bytes(display, window, text, 100, XA_CARDINAL), std::nullopt);
    EXPECT_EQ(bytes(display, window, numbers, 100), std::nullopt);
    EXPECT_EQ(bytes(display, window, missing, 100), std::nullopt);
    XCloseDisplay(display);
}

} // namespace
} // namespace dravix::x11
