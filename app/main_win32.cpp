#include "app/main_window.h"
#include "platform/win32/win32_desktop.h"

#include <windows.h>

#include <exception>

// Program start on Windows: the title first, then the main window with all its elements (hidden,
// at its creation geometry), then the message loop. Nothing from the command line or the
// environment is read.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        dravix::win32::Win32Desktop desktop(dravix::applicationTitle);
        dravix::TForm1 form(desktop);
        return desktop.run(form);
    } catch (const std::exception& error) {
        // The handlers show their own errors; what gets here (the window could not be made, say)
        // ends the program, and a GUI program has no console to tell why.
        MessageBoxA(nullptr, error.what(), dravix::applicationTitle, MB_ICONERROR | MB_OK);
        return 1;
    }
}
