#include "app/main_window.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_folder_claim.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"
#include "state/stored_files.h"

#include <windows.h>

#include <exception>
#include <string>

// Program start on Windows: the claim on the folder of the stored files first, then the title,
// the main window with all its elements (hidden, at its creation geometry) and the message loop.
// Nothing from the command line or the environment is read.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The stored files belong to one running strip, wherever its executable is: two copies that
    // keep their files in one settings folder would overwrite each other's slots. A second start
    // for the same files shows the user that strip instead and ends before it reads or writes
    // them. The folder is asked of the system alone; no launch is made through this port.
    const dravix::win32::Win32System folders(nullptr);
    const std::string storedFolder = dravix::storedFilesFolder(folders);
    const std::uint64_t folder =
        dravix::win32::folderMark(dravix::win32::wideFromUtf8(storedFolder));
    const dravix::win32::FolderClaim claim(folder);
    if (!claim.held()) {
        if (dravix::win32::bringStripToFront(folder))
            return 0;
        // The claim is held, but by no strip that shows itself: never end without a word.
        const std::string text = "Another program holds the claim on the folder of the stored "
                                 "files (" +
                                 storedFolder +
                                 "), and no Dravix strip answers for it. Dravix does not start "
                                 "beside it.";
        MessageBoxW(nullptr, dravix::win32::wideFromUtf8(text).c_str(),
                    dravix::win32::wideFromUtf8(dravix::applicationTitle).c_str(),
                    MB_ICONERROR | MB_OK);
        return 1;
    }
    try {
        dravix::win32::Win32Desktop desktop(dravix::applicationTitle, folder);
        dravix::win32::Win32System system(desktop.launchOutcomeReport());
        dravix::TForm1 form(desktop, system);
        return desktop.run(form);
    } catch (const std::exception& error) {
        // The handlers show their own errors; what gets here (the window could not be made, say)
        // ends the program, and a GUI program has no console to tell why.
        MessageBoxW(nullptr, dravix::win32::wideFromUtf8(error.what()).c_str(),
                    dravix::win32::wideFromUtf8(dravix::applicationTitle).c_str(),
                    MB_ICONERROR | MB_OK);
        return 1;
    }
}
