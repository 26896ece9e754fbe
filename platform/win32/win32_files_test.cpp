#include "platform/win32/win32_services.h"
#include "platform/win32/win32_text.h"
#include "tests/support/win32_test_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <thread>

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

TEST(WindowsErrorCodes, NameTheCommonFailuresAndNumberTheRest) {
    EXPECT_TRUE(is(statusFromWindowsError(0), FileFailure::none, 0));
    EXPECT_TRUE(is(statusFromWindowsError(2), FileFailure::notFound, 2));
    EXPECT_TRUE(is(statusFromWindowsError(3), FileFailure::pathNotFound, 3));
    EXPECT_TRUE(is(statusFromWindowsError(4), FileFailure::tooManyOpenFiles, 4));
    EXPECT_TRUE(is(statusFromWindowsError(5), FileFailure::accessDenied, 5));
    EXPECT_TRUE(is(statusFromWindowsError(32), FileFailure::inUse, 32));
    EXPECT_TRUE(is(statusFromWindowsError(33), FileFailure::inUse, 33));
    EXPECT_TRUE(is(statusFromWindowsError(39), FileFailure::diskFull, 39));
    EXPECT_TRUE(is(statusFromWindowsError(112), FileFailure::diskFull, 112));
    EXPECT_TRUE(is(statusFromWindowsError(1175), FileFailure::other, 1175));
}

class ReadFileTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
};

TEST_F(ReadFileTest, ReadsAUtf8FileByteForByte) {
    // A byte-order mark, line ends of every kind, Ctrl-Z and NUL, over more than one read.
    std::string bytes = "\xef\xbb\xbf";
    while (bytes.size() < 200'000)
        bytes += "C:\\日本\\Пример.exe\r\nx\n\r\x1a\0"s;
    writeBytes(folder / "dravix.dat", bytes);
    std::string contents = "left over";
    EXPECT_TRUE(readFile(folder / "dravix.dat", contents).ok());
    EXPECT_EQ(contents.size(), bytes.size());
    EXPECT_TRUE(contents == bytes);

    writeBytes(folder / "empty.dat", "");
    EXPECT_TRUE(readFile(folder / "empty.dat", contents).ok());
    EXPECT_EQ(contents, "");
}

// A slot list saved by a Windows program as single-byte text holds its paths in the ANSI code
// page. This test program has no UTF-8 manifest, so GetACP() names that code page here.
TEST_F(ReadFileTest, ALineThatIsNotUtf8IsConvertedFromTheAnsiCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "written for code page 1252, not " << GetACP();
    writeBytes(folder / "dravix.dat",
               "\xef\xbb\xbf"
               "C:\\Caf\xe9\\x.exe\r\nC:\\日本\r\n\xe9\r\xc4\n\xe9\x1a\xff\r\n\xc4"s);
    std::string contents;
    EXPECT_TRUE(readFile(folder / "dravix.dat", contents).ok());
    EXPECT_EQ(contents, "\xef\xbb\xbf"
                        "C:\\Café\\x.exe\r\nC:\\日本\r\né\rÄ\né\x1aÿ\r\nÄ");
}

TEST_F(ReadFileTest, TellsAMissingFileFromAMissingFolder) {
    std::string contents = "left over";
    EXPECT_TRUE(is(readFile(folder / "dravix.dat", contents), FileFailure::notFound, 2));
    EXPECT_EQ(contents, "");
    EXPECT_TRUE(is(readFile(folder / "gone\\dravix.dat", contents), FileFailure::pathNotFound, 3));
}

TEST_F(ReadFileTest, AFolderOrADeviceIsNoStoredFile) {
    std::string contents;
    EXPECT_TRUE(is(readFile(folder.path(), contents), FileFailure::accessDenied, 5));
    // NUL, a device in every folder, reads as empty: it is refused before.
    EXPECT_TRUE(is(readFile(folder / "NUL", contents), FileFailure::accessDenied, 5));
}

TEST_F(ReadFileTest, AFileOverTheLimitIsTooLarge) {
    writeBytes(folder / "dravix.dat", std::string(maxStoredFileSize, 'x'));
    std::string contents;
    EXPECT_TRUE(readFile(folder / "dravix.dat", contents).ok());
    EXPECT_EQ(contents.size(), maxStoredFileSize);

    writeBytes(folder / "dravix.dat", std::string(maxStoredFileSize + 1, 'x'));
    EXPECT_TRUE(is(readFile(folder / "dravix.dat", contents), FileFailure::tooLarge, 0));
    EXPECT_EQ(contents, "");
}

TEST_F(ReadFileTest, AFileAnotherProgramHoldsOpenIsASharingViolation) {
    writeBytes(folder / "dravix.dat", "x\r\n");
    ExclusiveHold hold(folder / "dravix.dat");
    std::string contents;
    EXPECT_TRUE(is(readFile(folder / "dravix.dat", contents), FileFailure::inUse, 32));
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
        EXPECT_TRUE(is(replaceFile(folder / "dravix.dat", "new\r\n"), FileFailure::inUse, 32));
    }
    EXPECT_EQ(readBytes(folder / "dravix.dat"), "old\r\n");
    EXPECT_EQ(temporaryFilesOf(folder, "dravix.dat"), std::set<std::string>{})
        << "the new file is removed";
}

// A virus scanner or an indexer holds a file for a moment; the save waits for it.
TEST_F(ReplaceFileTest, ASaveWaitsOutAHoldOfAFifthOfASecond) {
    writeBytes(folder / "dravix.dat", "old\r\n");
    auto hold = std::make_unique<ExclusiveHold>(folder / "dravix.dat");
    std::thread release([&] {
        Sleep(200);
        hold.reset();
    });
    const FileStatus status = replaceFile(folder / "dravix.dat", "new\r\n");
    release.join();
    EXPECT_TRUE(is(status, FileFailure::none, 0));
    EXPECT_EQ(readBytes(folder / "dravix.dat"), "new\r\n");
    EXPECT_EQ(temporaryFilesOf(folder, "dravix.dat"), std::set<std::string>{});
}

TEST_F(ReplaceFileTest, AReadOnlyFileOrAFolderInTheWayIsRefusedAndStays) {
    writeBytes(folder / "dravix.dat", "old\r\n");
    ASSERT_TRUE(SetFileAttributesA((folder / "dravix.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(is(replaceFile(folder / "dravix.dat", "new\r\n"), FileFailure::accessDenied, 5));
    EXPECT_EQ(readBytes(folder / "dravix.dat"), "old\r\n");
    EXPECT_TRUE(GetFileAttributesA((folder / "dravix.dat").c_str()) & FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(CreateDirectoryA((folder / "dravix.ini").c_str(), nullptr));
    EXPECT_TRUE(is(replaceFile(folder / "dravix.ini", "1\r\n2\r\n"), FileFailure::accessDenied, 5));
    EXPECT_TRUE(GetFileAttributesA((folder / "dravix.ini").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(folder.names(), (std::set<std::string>{"dravix.dat", "dravix.ini"}));
}

// Names are UTF-8 whatever the ANSI code page is (1252 under Wine here), and the folders on the
// way to a file are made for it, as for the user's settings folder before the first save.
TEST_F(ReplaceFileTest, CreatesMissingFoldersAndTakesUtf8Names) {
    const std::string file = folder / "日本\\Пример\\dravix.dat";
    ASSERT_TRUE(replaceFile(file, "x\r\n").ok());
    EXPECT_TRUE(exists(file));
    std::string contents;
    EXPECT_TRUE(readFile(file, contents).ok());
    EXPECT_EQ(contents, "x\r\n");

    const std::wstring wideFolder = wideFromUtf8(folder.path());
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((wideFolder + L"\\日本\\*р").c_str(), &entry);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::wstring(entry.cFileName), L"Пример");
    FindClose(search);
    // The test folder's own clean-up goes through the A functions, which cannot spell these.
    DeleteFileW((wideFolder + L"\\日本\\Пример\\dravix.dat").c_str());
    RemoveDirectoryW((wideFolder + L"\\日本\\Пример").c_str());
    RemoveDirectoryW((wideFolder + L"\\日本").c_str());
}

TEST(FolderWritable, CreatesAndDeletesAProbeFileInAnExistingFolderOnly) {
    TemporaryFolder folder;
    const std::wstring wideFolder = wideFromUtf8(folder / "日本");
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    EXPECT_TRUE(folderWritable(folder / "日本"));
    EXPECT_TRUE(folderWritable(folder / "日本\\"));
    EXPECT_TRUE(RemoveDirectoryW(wideFolder.c_str())) << "the probe file was left behind";
    EXPECT_FALSE(folderWritable(folder / "gone\\"));
    EXPECT_TRUE(folder.names().empty());
}

TEST(UserSettingsFolder, IsDravixInTheLocalApplicationData) {
    wchar_t local[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH), 0u);
    EXPECT_EQ(userSettingsFolder(), utf8FromWide(local) + "\\Dravix\\");
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
