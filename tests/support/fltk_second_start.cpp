#include "platform/fltk/fltk_desktop.h"

// A start of the program as far as the claim on its folder, for the window test, which runs it
// from the folder that the test itself holds and from another one. Ends with 0 when it gave way to
// the copy that holds the folder, as the program does, and with 1 when it got the folder itself.
int main() {
    dravix::fltk::FltkDesktop desktop("Dravix");
    return desktop.claimFolder() ? 1 : 0;
}
