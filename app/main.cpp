#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/fltk/fltk_desktop.h"
#include "platform/posix/posix_services.h"
#include "state/stored_files.h"

#include <cstdio>
#include <string_view>
#include <vector>

// Program start: the command line first (--help and --version are answered without a display),
// then the title, the claim on the folder of the stored files, the main window with all its
// elements (hidden, at its creation geometry), and the event loop. No settings come from the
// command line or the environment.
int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const dravix::CommandLineAnswer answer = dravix::answerCommandLine(arguments);
    if (!answer.startStrip) {
        std::fputs(answer.standardOutput.c_str(), stdout);
        std::fputs(answer.standardError.c_str(), stderr);
        return answer.exitStatus;
    }
    dravix::fltk::FltkDesktop desktop(dravix::applicationTitle);
    dravix::posix::PosixSystem system(desktop.launchWatch());
    // The stored files belong to one running strip, wherever its executable is: two copies that
    // keep their files in one settings folder would overwrite each other's slots. A second start
    // for the same files brings that strip to the front instead and ends before it reads or
    // writes them.
    switch (desktop.claimFolder(dravix::storedFilesFolder(system))) {
    case dravix::fltk::FltkDesktop::Claim::held:
        break;
    case dravix::fltk::FltkDesktop::Claim::gaveWay:
        return 0;
    case dravix::fltk::FltkDesktop::Claim::foreign:
        return 1;
    }
    dravix::TForm1 form(desktop, system);
    return desktop.run(form);
}
