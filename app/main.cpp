#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/fltk/fltk_desktop.h"
#include "platform/posix/posix_services.h"

#include <cstdio>
#include <string_view>
#include <vector>

// Program start: the command line first (--help and --version are answered without a display),
// then the title, the claim on the executable's folder, the main window with all its elements
// (hidden, at its creation geometry), and the event loop. No settings come from the command line
// or the environment.
int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const dravix::CommandLineAnswer answer = dravix::answerCommandLine(arguments);
    if (!answer.startStrip) {
        std::fputs(answer.standardOutput.c_str(), stdout);
        std::fputs(answer.standardError.c_str(), stderr);
        return answer.exitStatus;
    }
    dravix::fltk::FltkDesktop desktop(dravix::applicationTitle);
    // The stored files beside the executable belong to one running strip. A second start from
    // the same folder brings that strip to the front instead and ends before it reads or writes
    // them.
    if (!desktop.claimFolder())
        return 0;
    dravix::posix::PosixSystem system(desktop.launchWatch());
    dravix::TForm1 form(desktop, system);
    return desktop.run(form);
}
