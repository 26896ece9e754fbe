#include "platform/win32/win32_services.h"
#include "tests/support/win32_test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace dravix::win32 {
namespace {

using testing::ExclusiveHold;
using testing::readBytes;
using testing::temporaryFilesOf;
using testing::TemporaryFolder;
using testing::writeBytes;

// Every byte value, line ends of both kinds, Ctrl-Z and NUL among them, over more than one read.
std::string everyByte(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) % 256);
    return bytes;
}

using namespace std::string_literals;

// Whether the status names this failure and this Windows error code.
::testing::AssertionResult is(const FileStatus& status, FileFailure failure, int code) {
    if (status.failure == failure && status.platformCode == code)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "the status is failure " << static_cast<int>(status.failure) << " with code "
           << status.platformCode << ", not failure " << static_cast<int>(failure) << " with code "
           << code;
}

TEST(WindowsErrorCodes, NameTheFourCommonFailuresAndNumberTheRest) {
    EXPECT_TRUE(is(statusFromWindowsError(0), FileFailure::none, 0));
    EXPECT_TRUE(is(statusFromWindowsError(2), FileFailure::notFound, 2));
    EXPECT_TRUE(is(statusFromWindowsError(3), FileFailure::pathNotFound, 3));
    EXPECT_TRUE(is(statusFromWindowsError(4), FileFailure::tooManyOpenFiles, 4));
    EXPECT_TRUE(is(statusFromWindowsError(5), FileFailure::accessDenied, 5));
    EXPECT_TRUE(is(statusFromWindowsError(32), FileFailure::other, 32));
    EXPECT_TRUE(is(statusFromWindowsError(1175), FileFailure::other, 1175));
}

class ReadFileTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
};

TEST_F(ReadFileTest, ReadsTheWholeFileByteForByte) {
    const std::string bytes = "C:\\Tools\\x.exe\r\nx\n\r\x1a\0end"s + everyByte(200'000);
    writeBytes(folder / "dravix.dat", bytes);
    std::string contents = "left over";
    EXPECT_TRUE(readFile(folder / "dravix.dat", contents).ok());
    EXPECT_EQ(contents.size(), bytes.size());
    EXPECT_TRUE(contents == bytes);

    writeBytes(folder / "empty.dat", "");
    EXPECT_TRUE(readFile(folder / "empty.dat", contents).ok());
    EXPECT_EQ(contents, "");
}

TEST_F(ReadFileTest, TellsAMissingFileFromAMissingFolder) {
    std::string contents = "left over";
    EXPECT_TRUE(is(readFile(folder / "dravix.dat", contents), FileFailure::notFound, 2));
    EXPECT_EQ(contents, "");
    EXPECT_TRUE(is(readFile(folder / "gone\\dravix.dat", contents), FileFailure::pathNotFound, 3));
}

TEST_F(ReadFileTest, AFolderCannotBeReadAsAFile) {
    std::string contents;
    EXPECT_TRUE(is(readFile(folder.path(), contents), FileFailure::accessDenied, 5));
}

TEST_F(ReadFileTest, AFileAnotherProgramHoldsOpenIsASharingViolation) {
    writeBytes(folder / "dravix.dat", "x\r\n");
    ExclusiveHold hold(folder / "dravix.dat");
    std::string contents;
    EXPECT_TRUE(is(readFile(folder / "dravix.dat", contents), FileFailure::other, 32));
}

class ReplaceFileTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
};

TEST_F(ReplaceFileTest, CreatesAMissingFileWithExactlyTheBytesGiven) {
    const std::string bytes = "C:\\Tools\\x.exe\r\nx\r\n\x1a\0\xe9\xff"s + everyByte(70'000);
    EXPECT_TRUE(replaceFile(folder / "dravix.dat", bytes).ok());
    EXPECT_EQ(readBytes(folder / "dravix.dat"), bytes);
    EXPECT_EQ(folder.names(), std::set<std::string>{"dravix.dat"}) << "no temporary file is left";
}

TEST_F(ReplaceFileTest, ReplacesALongerFileWhole) {
    writeBytes(folder / "dravix.ini", everyByte(100'000));
    EXPECT_TRUE(replaceFile(folder / "dravix.ini", "132\r\n196\r\n").ok());
    EXPECT_EQ(readBytes(folder / "dravix.ini"), "132\r\n196\r\n");
    EXPECT_TRUE(replaceFile(folder / "dravix.ini", "").ok());
    EXPECT_EQ(readBytes(folder / "dravix.ini"), "");
    EXPECT_EQ(folder.names(), std::set<std::string>{"dravix.ini"});
}

TEST_F(ReplaceFileTest, KeepsTheOldFileWhenAnotherProgramHoldsItOpen) {
    writeBytes(folder / "dravix.dat", "old\r\n");
    {
        ExclusiveHold hold(folder / "dravix.dat");
        EXPECT_TRUE(is(replaceFile(folder / "dravix.dat", "new\r\n"), FileFailure::other, 32));
    }
    EXPECT_EQ(readBytes(folder / "dravix.dat"), "old\r\n");
    EXPECT_EQ(temporaryFilesOf(folder, "dravix.dat"), std::set<std::string>{})
        << "the new file is removed";
}

TEST_F(ReplaceFileTest, IntoAMissingFolderIsPathNotFoundAndCreatesNothing) {
    EXPECT_TRUE(
        is(replaceFile(folder / "gone\\dravix.dat", "x\r\n"), FileFailure::pathNotFound, 3));
    EXPECT_TRUE(folder.names().empty());
}

// The A functions take names as bytes in the ANSI code page: what the program reads from its
// slot list is what the file system sees, and the other way round.
TEST_F(ReplaceFileTest, NamesAreBytesInTheAnsiCodePage) {
    const std::string name = "caf\xe9 \xc4rger.dat";
    ASSERT_TRUE(replaceFile(folder / name, "x\r\n").ok());
    EXPECT_EQ(folder.names(), std::set<std::string>{name});
    std::string contents;
    EXPECT_TRUE(readFile(folder / name, contents).ok());
    EXPECT_EQ(contents, "x\r\n");

    if (GetACP() != 1252)
        GTEST_SKIP() << "the wide name is checked for code page 1252 only, not " << GetACP();
    WIN32_FIND_DATAW entry;
    const std::wstring pattern(folder.path().begin(), folder.path().end());
    const HANDLE search = FindFirstFileW((pattern + L"\\c*").c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::wstring(entry.cFileName), L"caf\u00e9 \u00c4rger.dat");
    FindClose(search);
}

TEST(ExecutablePath, IsTheFullPathOfThisProgramWhateverTheFirstBufferSize) {
    const std::string path = executablePath();
    ASSERT_GT(path.size(), 3u);
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                path[2] == '\\')
        << path;
    EXPECT_EQ(path.find('/'), std::string::npos) << path;
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_TRUE(lower.ends_with("\\win32_desktop_test.exe")) << path;
    const DWORD attributes = GetFileAttributesA(path.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY));

    // Buffers too short for the path make it grow; the answer stays the same.
    EXPECT_EQ(executablePath(1), path);
    EXPECT_EQ(executablePath(path.size()), path);
    EXPECT_EQ(executablePath(path.size() + 1), path);
}

} // namespace
} // namespace dravix::win32
