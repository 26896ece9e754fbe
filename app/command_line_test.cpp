#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace dravix {
namespace {

const std::string usageLine = "usage: dravix [--help | --version]\n";

std::string temporaryPath(const char* name) {
    return (std::filesystem::temp_directory_path() / name).string();
}

// A stream that takes no writes: the full device where there is one, else a file opened only for
// reading.
std::FILE* unwritableStream() {
#ifndef _WIN32
    if (std::FILE* full = std::fopen("/dev/full", "w"))
        return full;
#endif
    const std::string path = temporaryPath("dravix_command_line_test_unwritable.txt");
    if (std::FILE* made = std::fopen(path.c_str(), "w"))
        std::fclose(made);
    return std::fopen(path.c_str(), "r");
}

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
        // Control characters and bytes that are no UTF-8 are shown escaped; other text as is.
        {{"\x1b]2;owned\x07"}, "", "dravix: unknown argument '\\x1b]2;owned\\x07'\n", 2},
        {{"a\nb\tc\rd\x7f"}, "", "dravix: unknown argument 'a\\nb\\tc\\rd\\x7f'\n", 2},
        {{"\xc2\x9b"
          "2J\x9b\xff"},
         "",
         "dravix: unknown argument '\\u009b2J\\x9b\\xff'\n",
         2},
        {{"caf\xc3\xa9 \xc2\xa9 \xe2\x82\xac"},
         "",
         "dravix: unknown argument 'caf\xc3\xa9 \xc2\xa9 \xe2\x82\xac'\n",
         2},
        {{"\xe2\x82"}, "", "dravix: unknown argument '\\xe2\\x82'\n", 2},
        {{"\xc0\x9b"}, "", "dravix: unknown argument '\\xc0\\x9b'\n", 2}, // overlong
    };
    std::FILE* const unwritable = unwritableStream();
    ASSERT_NE(unwritable, nullptr);
    std::FILE* const errors =
        std::fopen(temporaryPath("dravix_command_line_test_errors.txt").c_str(), "w");
    ASSERT_NE(errors, nullptr);
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
        // Written where it can be, the answer is all there and its status stands.
        std::FILE* const written = std::tmpfile();
        ASSERT_NE(written, nullptr);
        EXPECT_EQ(writeAnswer(answer, written, errors), c.exitStatus) << name;
        std::rewind(written);
        std::string out(answer.standardOutput.size() + 1, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), written));
        std::fclose(written);
        EXPECT_EQ(out, answer.standardOutput) << name;
        // An answer that cannot be written to standard output is a failure, and says so.
        std::rewind(errors);
        const int status = writeAnswer(answer, unwritable, errors);
        EXPECT_EQ(status, answer.standardOutput.empty() ? c.exitStatus : 1) << name;
        EXPECT_NE(std::ftell(errors), 0) << name;
    }
    std::fclose(errors);
    std::fclose(unwritable);
    std::error_code ignored;
    std::filesystem::remove(temporaryPath("dravix_command_line_test_errors.txt"), ignored);
    std::filesystem::remove(temporaryPath("dravix_command_line_test_unwritable.txt"), ignored);
}

} // namespace
} // namespace dravix
