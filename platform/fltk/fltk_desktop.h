// The X11 desktop through FLTK 1.3.
//
//  [X] borderless top-level window, placed exactly where asked, also with no window manager
//  [X] geometry changes take effect at once; no minimum size (26 x 23 works)
//  [X] frames shown opaque and unscaled at the window's top-left corner
//  [X] mouse press, move and release in window coordinates, also outside the window while a
//      button is held; left 0, right 1, middle 2; side buttons are not delivered
//  [X] key down for every key, repeats and modifiers on their own included: the arrows as the
//      Windows codes 37 to 40 (the keypad's too while NumLock is off), any other key as a code
//      of its own above 255
//  [X] 100 ms timer that keeps running under the error box and the file dialog
//  [X] activate delivered once, right after the window is first shown, before any input
//  [X] modal error box: caption from the title, error icon, one OK button
//  [X] modal open-file dialog (FLTK's own chooser): all files, the last name filled in
//  [X] the X input method (compose sequences, input servers) opens with the first file dialog,
//      the only window with a text field, instead of at start-up
//  [X] closing by the window manager ends the event loop; Escape does not close the window
//  [X] exit at once with a status
//  [X] writes no toolkit preference files
//  [X] launch, files, executable path and clock through the shared POSIX services
//  [ ] exact colours on visuals below 24 bits (FLTK dithers there)
//  [ ] drag and drop

#pragma once

#include "platform/desktop.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

class Fl_File_Chooser;

namespace dravix::fltk {

class MainWindow;

class FltkDesktop final : public Desktop {
public:
    // Creates the window hidden; title is the window's title and the error box's caption.
    explicit FltkDesktop(std::string title);
    ~FltkDesktop() override;
    FltkDesktop(const FltkDesktop&) = delete;
    FltkDesktop& operator=(const FltkDesktop&) = delete;

    // Shows the window, delivers activate, starts the 100 ms tick and handles events until the
    // window is closed. Returns the process's exit status.
    int run(WindowEvents& events);

    void setGeometry(const WindowGeometry& geometry) override;
    WindowGeometry geometry() const override;
    void present(const Frame& frame) override;

    void showError(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialName) override;

    std::string executablePath() const override;
    char pathSeparator() const override { return '/'; }
    FileStatus readFile(const std::string& path, std::string& contents) override;
    FileStatus replaceFile(const std::string& path, std::string_view contents) override;

    void launch(const std::string& path, const std::string& workingFolder) override;
    int millisecondOfDay() const override;
    [[noreturn]] void exitProcess(int status) override;

private:
    static void onTick(void* desktop);

    std::string title_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<Fl_File_Chooser> chooser_; // made on first use: it is slow to build
    WindowEvents* events_ = nullptr;
};

} // namespace dravix::fltk
