#pragma once

// How the X display is opened for FLTK. FLTK 1.3 opens the X input method while it opens the
// display, and the locale's input method loads the locale's X settings, reads and parses its
// whole Compose table and makes a font set: well over half of the start-up of a small FLTK
// program, and half a megabyte that stays. The main window has no text entry, so the input
// method waits until a window with a text field is about to be shown, and with it the locale. The
// display is opened without FLTK's XFixes query and without libXrandr, which the strip does not
// need. (This file also defines XOpenIM, XFixesQueryExtension, XFixesSelectSelectionInput and
// dlopen for the whole program, to keep FLTK from any of it before then.)

#include <span>
#include <string>

namespace dravix::fltk {

// Opens the display as FLTK's own fl_open_display() does (FLTK's X error handlers, the
// connection named by DISPLAY), asks for all of FLTK's and the backend's atoms, and moreAtoms,
// in one round trip instead of one each (Xlib keeps them, so a later XInternAtom of one of them
// asks the server nothing), and leaves the input method closed until openInputMethod().
// When there is no display to open, says so in one line on stderr, naming the display it tried,
// and ends the program with status 1. Call once, before the first window is created; does nothing
// when the display is already open.
void openDisplayWithoutInputMethod(std::span<const std::string> moreAtoms = {});

// Sets the locale's character type and opens the input method FLTK uses for typed text (compose
// sequences, input servers), the first time it is called. Call before showing a window with a
// text field.
void openInputMethod();

} // namespace dravix::fltk
