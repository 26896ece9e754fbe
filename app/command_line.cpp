#include "app/command_line.h"

namespace dravix {

namespace {

// One line of text per line of the usage.
// clang-format off
constexpr std::string_view usage =
    "usage: dravix [--help | --version]\n"
    "\n"
    "A launcher strip of ten slots: left click the toggle to slide it out,\n"
    "left click a slot to start its file, right click a slot to choose it,\n"
    "right click the toggle to save the place and quit. The slots are kept\n"
    "in dravix.dat and the place in dravix.ini; see dravix(1).\n"
    "\n"
    "  --help     print this text and exit\n"
    "  --version  print the version and exit\n";
// clang-format on

// The program's exit status for a command line it does not take, as getopt's users give it.
constexpr int misuseStatus = 2;

} // namespace

std::string versionLine() {
    return std::string("dravix ") + DRAVIX_VERSION + "\n";
}

CommandLineAnswer answerCommandLine(std::span<const std::string_view> arguments) {
    CommandLineAnswer answer;
    if (arguments.empty())
        return answer;
    answer.startStrip = false;
    for (const std::string_view argument : arguments) {
        if (argument == "--help" || argument == "--version")
            continue;
        answer.standardError =
            "dravix: unknown argument '" + std::string(argument) + "'\n" + std::string(usage);
        answer.exitStatus = misuseStatus;
        return answer;
    }
    answer.standardOutput = arguments.front() == "--help" ? std::string(usage) : versionLine();
    return answer;
}

} // namespace dravix
