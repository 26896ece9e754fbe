#pragma once

#include <span>
#include <string>
#include <string_view>

namespace dravix {

// What the Linux program does with its arguments, decided before it opens a display. It takes no
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
// with exit status 2.
CommandLineAnswer answerCommandLine(std::span<const std::string_view> arguments);

// "dravix 1.0.0": the name and the project's version.
std::string versionLine();

} // namespace dravix
