#include "app/main_window.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_folder_claim.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <exception>

// Program start on Windows: the claim on the executable's folder first, then the title, the main
// window with all its elements (hidden, at its creation geometry) and the message loop. Nothing
// from the command line or the environment is read.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The stored files beside the executable belong to one running strip. A second start from
    // the same folder shows the user that strip instead and ends before it reads or writes them.
    const std::uint64_t folder = dravix::win32::executableFolderMark();
    const dravix::win32::FolderClaim claim(folder);
    if (!claim.held()) {
        dravix::win32::bringStripToFront(folder);
        return 0;
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
