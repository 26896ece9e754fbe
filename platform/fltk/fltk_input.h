#pragma once

#include "platform/window_port.h"

#include <optional>
#include <string>
#include <string_view>

// How FLTK's input codes translate into what the main window expects.
namespace dravix::fltk {

// Keys without a Windows code here are delivered as this base plus their FLTK key number. The
// base lies above every Windows virtual-key code (0 to 255), so no such key can pass for an arrow,
// Escape or a digit.
constexpr int fltkKeyCodeBase = 0x10000;

// The code keyDown gets for an FLTK key number (Fl::event_key(), an X keysym for most keys): the
// arrows, Escape, Tab, Enter, Space and the digits of the top row and of the keypad give their
// Windows codes (37 left, 38 up, 39 right, 40 down, 27 Escape, 9 Tab, 13 Enter, 32 Space, 0x30 to
// 0x39, 0x60 to 0x69), and Tab with Shift held (or ISO_Left_Tab, as some keymaps send it) the
// core's code of its own, 0x109; any other key, a modifier on its own included, gives
// fltkKeyCodeBase + fltkKey, one code per key. With NumLock off FLTK reports the keypad arrows as
// the arrows; with it on, as keypad digits.
int keyCodeFromFltk(int fltkKey, bool shift = false);

// The button of an FLTK mouse event (Fl::event_button()); buttons beyond the first three have no
// meaning for the window.
std::optional<MouseButton> mouseButtonFromFltk(int fltkButton);

// The local path of the first file in a dropped text/uri-list (one URI a line, lines starting
// with # ignored): the first file: URI whose host is empty or localhost, percent-decoded. Other
// schemes, other hosts, malformed escapes and NUL bytes (raw or %00) are passed over; nothing
// when no line is a file.
std::optional<std::string> firstDroppedFile(std::string_view uriList);

} // namespace dravix::fltk
