#include "platform/fltk/fltk_desktop.h"
#include "platform/posix/posix_services.h"

// A start of the program as far as the claim on the folder of its executable, for the window
// test, which runs it from the folder that the test itself holds and from another one. Ends with
// 0 when it gave way to the strip that holds the folder, as the program does, with 1 when it got
// the folder itself, and with 2 when something else owns the claim.
int main() {
    dravix::fltk::FltkDesktop desktop("Dravix");
    const std::string executable = dravix::posix::executablePath();
    switch (desktop.claimFolder(executable.substr(0, executable.find_last_of('/') + 1))) {
    case dravix::ClaimOutcome::gaveWay:
        return 0;
    case dravix::ClaimOutcome::held:
        return 1;
    case dravix::ClaimOutcome::foreign:
        return 2;
    }
    return 3;
}
