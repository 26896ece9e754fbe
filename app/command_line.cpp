#include "app/command_line.h"

#include "state/utf8.h"

#include <cerrno>
#include <cstring>

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
// The exit status when the answer could not be written.
constexpr int unwrittenStatus = 1;

// The argument as it can be shown on a terminal: C0 controls and DEL as \n, \t, \r or \xHH, the
// C1 controls as \u0080 to \u009f, a byte that starts no UTF-8 character as \xHH; the rest as is.
std::string escapedForTerminal(std::string_view argument) {
    constexpr char digits[] = "0123456789abcdef";
    std::string shown;
    while (!argument.empty()) {
        const auto first = static_cast<unsigned char>(argument.front());
        const std::size_t length = utf8SequenceLength(argument);
        const bool c1Control =
            length == 2 && first == 0xC2 && static_cast<unsigned char>(argument[1]) <= 0x9F;
        if (first == '\n') {
            shown += "\\n";
        } else if (first == '\t') {
            shown += "\\t";
        } else if (first == '\r') {
            shown += "\\r";
        } else if (length == 0 || first < 0x20 || first == 0x7F) {
            shown += {'\\', 'x', digits[first >> 4], digits[first & 0xF]};
        } else if (c1Control) {
            const auto code = static_cast<unsigned char>(argument[1]);
            shown += {'\\', 'u', '0', '0', digits[code >> 4], digits[code & 0xF]};
        } else {
            shown += argument.substr(0, length);
        }
        argument.remove_prefix(length == 0 ? 1 : length);
    }
    return shown;
}

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
        answer.standardError = "dravix: unknown argument '" + escapedForTerminal(argument) + "'\n" +
                               std::string(usage);
        answer.exitStatus = misuseStatus;
        return answer;
    }
    answer.standardOutput = arguments.front() == "--help" ? std::string(usage) : versionLine();
    return answer;
}

int writeAnswer(const CommandLineAnswer& answer, std::FILE* standardOutput,
                std::FILE* standardError) {
    errno = 0;
    const bool written = answer.standardOutput.empty() ||
                         (std::fputs(answer.standardOutput.c_str(), standardOutput) != EOF &&
                          std::fflush(standardOutput) == 0 && !std::ferror(standardOutput));
    if (!written) {
        const int error = errno;
        std::fprintf(standardError, "dravix: the answer could not be written%s%s\n",
                     error != 0 ? ": " : "", error != 0 ? std::strerror(error) : "");
        return unwrittenStatus;
    }
    std::fputs(answer.standardError.c_str(), standardError);
    std::fflush(standardError);
    return answer.exitStatus;
}

} // namespace dravix
