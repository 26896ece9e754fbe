#pragma once

#include "platform/window_port.h"

#include <string>

namespace dravix::fltk {

// The modal error box in the look of FLTK's fl_alert (a "!" icon, the text, one OK button that
// Return and Escape press too), made here because FLTK 1.3 places its own box only under the
// pointer: this one opens centred on a point of the screen, kept inside `area` where it fits,
// and says so in its size hints, which window managers that place dialogs themselves honour.
// Runs a modal loop until it is closed; timeouts go on firing. FLTK makes it transient for the
// window shown before it.
void showErrorBox(const std::string& caption, const std::string& text, Place centre,
                  const ScreenRect& area);

} // namespace dravix::fltk
