#include "app/main_window.h"
#include "platform/fltk/fltk_desktop.h"

// Program start: the title first, then the main window with all its elements (hidden, at its
// creation geometry), then the event loop. Nothing from the command line or the environment is
// read.
int main() {
    dravix::fltk::FltkDesktop desktop(dravix::applicationTitle);
    dravix::TForm1 form(desktop);
    return desktop.run(form);
}
