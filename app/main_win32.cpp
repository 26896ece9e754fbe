#include "app/start.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/win32_folder_claim.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"

#include <windows.h>

#include <shellapi.h> // CommandLineToArgvW

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A box with one OK button; 0 when it could not be shown.
int showBox(const std::string& text, UINT icon) {
    return MessageBoxW(nullptr, dravix::win32::wideFromUtf8(text).c_str(),
                       dravix::win32::wideFromUtf8(dravix::applicationTitle).c_str(), icon | MB_OK);
}

// The Windows program's calls for the start (app/start.h). A program without a console answers
// in a message box; the claim is a named object of the session, and the window is made for the
// folder it claimed, so that a later start finds it.
class Win32Start {
public:
    using System = dravix::win32::Win32System;

    int tell(const dravix::CommandLineAnswer& answer) {
        const bool misuse = answer.standardOutput.empty();
        const std::string& text = misuse ? answer.standardError : answer.standardOutput;
        const int shown = showBox(text, misuse ? MB_ICONERROR : MB_ICONINFORMATION);
        return shown != 0 ? answer.exitStatus : 1;
    }

    dravix::ClaimOutcome claimFolder(const std::string& folder) {
        const std::uint64_t mark = dravix::win32::folderMark(dravix::win32::wideFromUtf8(folder));
        claim_.emplace(mark);
        if (claim_->held()) {
            desktop_.emplace(dravix::applicationTitle, mark);
            return dravix::ClaimOutcome::held;
        }
        if (dravix::win32::bringStripToFront(mark))
            return dravix::ClaimOutcome::gaveWay;
        // The claim is held, but by no strip that shows itself: never end without a word.
        showBox("Another program holds the claim on the folder of the stored files (" + folder +
                    "), and no Dravix strip answers for it. Dravix does not start beside it.",
                MB_ICONERROR);
        return dravix::ClaimOutcome::foreign;
    }
    dravix::win32::LateLaunchOutcome launchWatch() { return desktop_->launchOutcomeReport(); }
    dravix::WindowPort& window() { return *desktop_; }
    int run(dravix::WindowEvents& events) { return desktop_->run(events); }

private:
    std::optional<dravix::win32::FolderClaim> claim_;
    // Made after the claim and gone before it.
    std::optional<dravix::win32::Win32Desktop> desktop_;
};

// The arguments after the program's name, as Windows splits its command line, in UTF-8.
std::vector<std::string> commandLineArguments() {
    int count = 0;
    LPWSTR* const split = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; split != nullptr && i < count; ++i)
        arguments.push_back(dravix::win32::utf8FromWide(split[i]));
    LocalFree(split);
    return arguments;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        const std::vector<std::string> arguments = commandLineArguments();
        const std::vector<std::string_view> views(arguments.begin(), arguments.end());
        Win32Start start;
        return dravix::startProgram(views, start);
    } catch (const std::exception& error) {
        // The handlers show their own errors; what gets here (the window could not be made, say)
        // ends the program, and a GUI program has no console to tell why.
        showBox(error.what(), MB_ICONERROR);
        return 1;
    }
}
