#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace dravix {
namespace {

const std::string usageLine = "usage: dravix [--help | --version]\n";

TEST(CommandLine, NoArgumentsStartTheStripAndPrintNothing) {
    const CommandLineAnswer answer = answerCommandLine({});
    EXPECT_TRUE(answer.startStrip);
    EXPECT_EQ(answer.standardOutput, "");
    EXPECT_EQ(answer.standardError, "");
    EXPECT_EQ(answer.exitStatus, 0);
}

TEST(CommandLine, AnswersHelpAndVersionOnStandardOutputOrNamesTheArgumentItDoesNotTake) {
    struct Case {
        std::vector<std::string_view> arguments;
        std::string output; // the start of standard output
        std::string error;  // the start of standard error
        int exitStatus;
    };
    const std::string version = "dravix " DRAVIX_VERSION "\n";
    const std::vector<Case> cases = {
        {{"--help"}, usageLine, "", 0},
        {{"--version"}, version, "", 0},
        {{"--version", "--help"}, version, "", 0},
        {{"--help", "--version"}, usageLine, "", 0},
        {{"-h"}, "", "dravix: unknown argument '-h'\n" + usageLine, 2},
        {{"--versions"}, "", "dravix: unknown argument '--versions'\n" + usageLine, 2},
        {{"--help", "notes.txt"}, "", "dravix: unknown argument 'notes.txt'\n" + usageLine, 2},
        {{""}, "", "dravix: unknown argument ''\n" + usageLine, 2},
    };
    for (const Case& c : cases) {
        const std::string name =
            c.arguments.front().empty() ? "(empty)" : std::string(c.arguments.front());
        const CommandLineAnswer answer = answerCommandLine(c.arguments);
        EXPECT_FALSE(answer.startStrip) << name;
        EXPECT_EQ(answer.exitStatus, c.exitStatus) << name;
        EXPECT_EQ(answer.standardOutput.substr(0, c.output.size()), c.output) << name;
        EXPECT_EQ(answer.standardError.substr(0, c.error.size()), c.error) << name;
        // Exactly one of the two streams speaks.
        EXPECT_NE(answer.standardOutput.empty(), answer.standardError.empty()) << name;
    }
}

} // namespace
} // namespace dravix
