#include "app/main_window.h"
#include "platform/fltk/fltk_desktop.h"
#include "platform/posix/posix_services.h"

// Program start: the title first, then the claim on the executable's folder, then the main window
// with all its elements (hidden, at its creation geometry), then the event loop. Nothing from the
// command line or the environment is read.
int main() {
    dravix::fltk::FltkDesktop desktop(dravix::applicationTitle);
    // The stored files beside the executable belong to one running strip. A second start from
    // the same folder brings that strip to the front instead and ends before it reads or writes
    // them.
    if (!desktop.claimFolder())
        return 0;
    dravix::posix::PosixSystem system;
    dravix::TForm1 form(desktop, system);
    return desktop.run(form);
}
