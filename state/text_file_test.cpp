#include "state/text_file.h"

#include "tests/support/state_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace dravix {
namespace {

using testing::errorTextOf;
using testing::failOn;

std::vector<std::string> readLines(std::string_view bytes, int count) {
    LineReader reader(bytes);
    std::vector<std::string> lines;
    std::string value = "left over from before";
    for (int i = 0; i < count; ++i) {
        reader.readLine(value);
        lines.push_back(value);
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, LineEndsAndLoneCarriageReturns) {
    EXPECT_EQ(readLines("a\nb\r\nc\rd\n\r\nlast", 6), (Lines{"a", "b", "cd", "", "last", ""}));
    EXPECT_EQ(readLines("x\r", 2), (Lines{"x", ""}));
    // A CR that ends the bytes ends there, whatever lies beyond them.
    EXPECT_EQ(readLines(std::string_view("x\r\nbeyond", 2), 2), (Lines{"x", ""}));
    EXPECT_EQ(readLines("\r\r\r\n\n", 3), (Lines{"", "", ""}));
}

TEST(LineReader, CtrlZEndsTheValueAndSkipsTheRestOfItsLine) {
    EXPECT_EQ(readLines("ab\x1A"
                        "cd\r\nef\n",
                        3),
              (Lines{"ab", "ef", ""}));
    EXPECT_EQ(readLines("ab\x1A\r\x1A\ncd", 2), (Lines{"ab", "cd"}));
    // A lone 26 at the end reads like the end of the file, and stays there.
    EXPECT_EQ(readLines("one\r\n\x1A", 3), (Lines{"one", "", ""}));
}

TEST(LineReader, KeepsNulBytes) {
    EXPECT_EQ(readLines(std::string_view("a\0b\r\n\0", 6), 2),
              (Lines{std::string("a\0b", 3), std::string(1, '\0')}));
}

TEST(LineReader, SkipsAByteOrderMarkOnlyAtTheStart) {
    EXPECT_EQ(readLines("\xEF\xBB\xBF/usr/bin/vim\r\nvim\r\n", 2), (Lines{"/usr/bin/vim", "vim"}));
    EXPECT_EQ(readLines("a\r\n\xEF\xBB\xBF", 2), (Lines{"a", "\xEF\xBB\xBF"}));
}

TEST(LineReader, EmptyInputReadsAsEmptyLinesForever) {
    EXPECT_EQ(readLines("", 3), (Lines{"", "", ""}));
}

TEST(LineReader, HugeInputsAreReadInOnePass) {
    const std::string longLine(1 << 20, 'p');
    EXPECT_EQ(readLines(longLine + "\r\nnext", 2), (Lines{longLine, "next"}));
    // A megabyte of lone CRs is one empty line, not a million.
    EXPECT_EQ(readLines(std::string(1 << 20, '\r') + "tail", 2), (Lines{"tail", ""}));
}

TEST(FileErrorText, NamesEveryFailure) {
    EXPECT_EQ(fileErrorText({FileFailure::notFound, 2}), "File not found");
    EXPECT_EQ(fileErrorText({FileFailure::pathNotFound, 3}), "Invalid filename");
    EXPECT_EQ(fileErrorText({FileFailure::tooManyOpenFiles, 4}), "Too many open files");
    EXPECT_EQ(fileErrorText({FileFailure::accessDenied, 5}), "File access denied");
    EXPECT_EQ(fileErrorText({FileFailure::tooLarge, 27}), "File too large");
    EXPECT_EQ(fileErrorText({FileFailure::diskFull, 28}), "Disk full");
    EXPECT_EQ(fileErrorText({FileFailure::inUse, 32}), "File in use by another program");
    EXPECT_EQ(fileErrorText({FileFailure::other, 32}), "I/O error 32");
    EXPECT_EQ(fileErrorText({FileFailure::other, -7}), "I/O error -7");
}

// A TextFile bound to "/f" on an in-memory disk.
class BoundTextFile : public ::testing::Test {
protected:
    void SetUp() override { file.bind("/f"); }

    FakeDesktop desktop;
    TextFile file{desktop};
};

TEST_F(BoundTextFile, ReadsLinesOfTheWholeFile) {
    desktop.files()["/f"] = "one\r\ntwo";
    file.openForReading();
    std::string line;
    file.readLine(line);
    EXPECT_EQ(line, "one");
    file.readLine(line);
    EXPECT_EQ(line, "two");
    file.close();
}

TEST_F(BoundTextFile, FailingOpenThrowsTheUsersText) {
    failOn(desktop, FileOperation::read, "/f", {FileFailure::other, 32});
    EXPECT_EQ(errorTextOf([&] { file.openForReading(); }), "I/O error 32");
}

TEST_F(BoundTextFile, WritesBytesExactlyAndReplacesOnlyAtClose) {
    int replaces = 0;
    desktop.setFaultInjector([&](FileOperation operation, const std::string&) {
        replaces += operation == FileOperation::replace;
        return FileStatus{};
    });
    desktop.files()["/f"] = "old";
    file.openForWriting();
    file.writeLine(std::string_view("a\0\xE9", 3));
    file.writeLine("");
    EXPECT_EQ(replaces, 0);
    EXPECT_EQ(desktop.files()["/f"], "old");
    file.close();
    EXPECT_EQ(replaces, 1);
    EXPECT_EQ(desktop.files()["/f"], std::string("a\0\xE9\r\n\r\n", 7));
}

TEST_F(BoundTextFile, FailingReplaceThrowsAtClose) {
    failOn(desktop, FileOperation::replace, "/f", {FileFailure::accessDenied, 13});
    file.openForWriting();
    file.writeLine("x");
    EXPECT_EQ(errorTextOf([&] { file.close(); }), "File access denied");
    EXPECT_NO_THROW(file.close()) << "the failed handle was not closed";
}

TEST(ExecutableFolder, EndsAfterTheLastSeparator) {
    FakeDesktop desktop;
    desktop.setExecutablePath("/opt/a:b/dravix");
    EXPECT_EQ(executableFolder(desktop), "/opt/a:b/");
    desktop.setExecutablePath("dravix");
    EXPECT_EQ(executableFolder(desktop), "");

    desktop.setPathSeparator('\\');
    desktop.setExecutablePath("C:\\Tools\\Dravix\\dravix.exe");
    EXPECT_EQ(executableFolder(desktop), "C:\\Tools\\Dravix\\");
    desktop.setExecutablePath("D:dravix.exe");
    EXPECT_EQ(executableFolder(desktop), "D:");
}

} // namespace
} // namespace dravix
