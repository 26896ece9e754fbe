#pragma once

#include "platform/desktop.h"

#include <optional>

// How FLTK's input codes translate into what the main window expects.
namespace dravix::fltk {

// The Windows virtual-key code for an FLTK key code (Fl::event_key(), an X keysym for most keys),
// or 0 for a key that has none. Letters give their capital's code whatever the case.
int virtualKeyFromFltk(int fltkKey);

// The button of an FLTK mouse event (Fl::event_button()); buttons beyond the first three have no
// meaning for the window.
std::optional<MouseButton> mouseButtonFromFltk(int fltkButton);

} // namespace dravix::fltk
