#pragma once

// The desktop's own open-file dialog, run as a program of its own: KDE's kdialog or GTK's zenity.
// People know their desktop's dialog (its places, bookmarks and recent files), which FLTK's
// chooser does not offer.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravix::fltk {

enum class ChooserKind { kdialog, zenity };

struct ChooserProgram {
    ChooserKind kind;
    std::string path; // absolute
};

// The chooser of the desktop that runs: kdialog when currentDesktop (XDG_CURRENT_DESKTOP, a
// colon-separated list) names KDE and kdialog is installed, else zenity when it is installed,
// else nothing. find looks a program up by name and gives its path or an empty string.
std::optional<ChooserProgram>
pickDesktopChooser(std::string_view currentDesktop,
                   const std::function<std::string(const char*)>& find);

// The room the dialog may take: the work area of the strip's monitor, in screen pixels.
struct ChooserRoom {
    int width;
    int height;
};

// The dialog's size in that room: a comfortable size for a file list, less where the room is
// smaller, keeping a margin all round so that the dialog's frame fits too.
ChooserRoom chooserSize(ChooserRoom room);

// The command line that opens the program's open-file dialog with the title, the initial name
// (when not empty), the dialog transient for the X window and sized by chooserSize for the room.
std::vector<std::string> chooserCommand(const ChooserProgram& program, const std::string& title,
                                        const std::string& initialName, unsigned long xWindow,
                                        ChooserRoom room);

struct ChooserResult {
    enum class Outcome { chosen, cancelled, failed };
    Outcome outcome;
    std::string path; // when chosen
};

// Runs the command and reads the chosen path from its standard output, while FLTK's event loop
// goes on (timers, drawing, other windows' events). Exit status 1, or no output, is a cancel;
// a program that does not start, ends on a signal or with another status has failed.
ChooserResult runDesktopChooser(const std::vector<std::string>& command);

} // namespace dravix::fltk
