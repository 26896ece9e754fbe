#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace dravix {

// What the program does with its arguments, decided before it makes any window. It takes no
// settings from them: with none it starts the strip, and it answers only --help and --version.
struct CommandLineAnswer {
    // The strip starts only when there is nothing to answer.
    bool startStrip = true;
    std::string standardOutput;
    std::string standardError;
    int exitStatus = 0;
};

// The arguments after the program's name: none starts the strip; "--help" prints the usage and
// "--version" the program's version, both with exit status 0 (the first of them decides when
// both are given); any other argument prints one line naming it and the usage to standard error,
// with exit status 2. The argument is named with its control characters escaped (\n, \x1b, \u009b)
// and any byte that is no UTF-8 as \xHH, so that it cannot act on the terminal that shows it.
CommandLineAnswer answerCommandLine(std::span<const std::string_view> arguments);

// Writes the answer to the two streams; its exit status, or 1 when the text for standard output
// did not reach it (a full disk, a closed pipe), after saying so on standard error.
int writeAnswer(const CommandLineAnswer& answer, std::FILE* standardOutput,
                std::FILE* standardError);

// "dravix 1.0.0": the name and the project's version.
std::string versionLine();

} // namespace dravix
