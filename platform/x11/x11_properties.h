#pragma once

// Reading an X window's properties with plain Xlib, for the FLTK backend and for the tests that
// look at windows through a connection of their own. Each read is one round trip; a window that
// is gone raises an X error, which the caller's error handler sees.

#include <X11/Xlib.h>

#include <optional>
#include <string>
#include <vector>

namespace dravix::x11 {

// The items of a 32-bit property (as Xlib hands them over, a long each), at most `limit` of them;
// empty when the window has no such property, or its items are of another size, or its type is
// not `type` (AnyPropertyType takes every type).
std::vector<long> cardinals(Display* display, Window window, Atom property, long limit,
                            Atom type = AnyPropertyType);

// The bytes of an 8-bit property, such as a text, at most `limit` of them; nothing when the
// window has no such property, or its items are of another size, or its type is not `type`.
std::optional<std::string> bytes(Display* display, Window window, Atom property, long limit,
                                 Atom type = AnyPropertyType);

} // namespace dravix::x11
