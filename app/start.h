#pragma once

#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/window_port.h"
#include "state/stored_files.h"

#include <span>
#include <string>
#include <string_view>

namespace dravix {

// The program's start, one for every backend: the command line first, answered before any window
// is made; then the claim on the folder of the stored files; then the main window with all its
// elements (hidden, at its creation geometry), a system port whose pending launches the window's
// loop watches, and the loop. No settings come from the command line or the environment.
//
// The backend supplies only its calls:
//   System                          its system port, made from a launch watch (an empty one for
//                                   none)
//   int tell(const CommandLineAnswer&)
//                                   shows the answer; the exit status, 1 when it could not
//   ClaimOutcome claimFolder(const std::string& folder)
//                                   claims the folder for this process (see ClaimOutcome), and
//                                   says why when the owner is foreign
//   launchWatch()                   where the System hands the launches it leaves pending
//   WindowPort& window()            the main window's desktop, after the claim is held
//   int run(WindowEvents&)          the event loop; the process's exit status
template <typename Backend>
int startProgram(std::span<const std::string_view> arguments, Backend& backend) {
    const CommandLineAnswer answer = answerCommandLine(arguments);
    if (!answer.startStrip)
        return backend.tell(answer);
    // The stored files belong to one running strip, wherever its executable is: two copies that
    // keep their files in one settings folder would overwrite each other's slots. A second start
    // for the same files brings that strip to the front instead and ends before it reads or
    // writes them. The folder is asked of the system alone; no launch is made through this port.
    using LaunchWatch = decltype(backend.launchWatch());
    const std::string folder = storedFilesFolder(typename Backend::System(LaunchWatch{}));
    switch (backend.claimFolder(folder)) {
    case ClaimOutcome::held:
        break;
    case ClaimOutcome::gaveWay:
        return 0;
    case ClaimOutcome::foreign:
        return 1;
    }
    typename Backend::System system(backend.launchWatch());
    TForm1 form(backend.window(), system);
    return backend.run(form);
}

} // namespace dravix
