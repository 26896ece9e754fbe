#include "state/stored_files.h"

#include "tests/support/state_test_support.h"

#include <gtest/gtest.h>

#include <limits>

namespace dravix {
namespace {

using testing::errorTextOf;
using testing::failOn;

const std::string listPath = "/opt/dravix/dravix.dat";
const std::string positionPath = "/opt/dravix/dravix.ini";

SlotRecords filledSlots(const std::string& prefix) {
    SlotRecords slots;
    for (int i = 0; i < slotCount; ++i)
        slots[i] = {prefix + "path" + std::to_string(i), prefix + "name" + std::to_string(i)};
    return slots;
}

std::string numberedLines(int count, const char* lineEnd) {
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "line" + std::to_string(i) + lineEnd;
    return text;
}

// Stored files beside the executable, /opt/dravix/dravix, on an in-memory disk.
class StoredFilesTest : public ::testing::Test {
protected:
    FakeDesktop desktop;
    StoredFiles stored{desktop};
};
using SlotList = StoredFilesTest;
using PositionFile = StoredFilesTest;

TEST_F(SlotList, FewLinesFillFieldsInOrderAndEmptyTheRest) {
    desktop.files()[listPath] = numberedLines(5, "\n");
    SlotRecords slots = filledSlots("stale");
    stored.readSlotList(slots);
    EXPECT_EQ(slots[0].path, "line1");
    EXPECT_EQ(slots[0].name, "line2");
    EXPECT_EQ(slots[1].path, "line3");
    EXPECT_EQ(slots[1].name, "line4");
    EXPECT_EQ(slots[2].path, "line5");
    EXPECT_EQ(slots[2].name, "");
    for (int i = 3; i < slotCount; ++i)
        EXPECT_TRUE(slots[i].path.empty() && slots[i].name.empty()) << "slot " << i;
}

TEST_F(SlotList, LinesAfterTheTwentiethAreDroppedAndNotWrittenBack) {
    desktop.files()[listPath] = numberedLines(23, "\r\n");
    SlotRecords slots;
    stored.readSlotList(slots);
    EXPECT_EQ(slots[9].path, "line19");
    EXPECT_EQ(slots[9].name, "line20");
    stored.writeSlotList(slots);
    EXPECT_EQ(desktop.files()[listPath], numberedLines(20, "\r\n"));
}

TEST_F(SlotList, EmptyFileGivesEmptySlots) {
    desktop.files()[listPath] = "";
    SlotRecords slots = filledSlots("stale");
    stored.readSlotList(slots);
    EXPECT_EQ(slots, SlotRecords{}) << "every field is set, even with nothing to read";
}

TEST_F(SlotList, FailingOpenLeavesFieldsUntouched) {
    SlotRecords slots = filledSlots("kept");
    EXPECT_EQ(errorTextOf([&] { stored.readSlotList(slots); }), "File not found");
    EXPECT_EQ(slots, filledSlots("kept"));
}

TEST_F(SlotList, WritesExactlyTwentyLines) {
    stored.writeSlotList(SlotRecords{});
    std::string crlfs;
    for (int i = 0; i < 20; ++i)
        crlfs += "\r\n";
    EXPECT_EQ(desktop.files()[listPath], crlfs);
    EXPECT_EQ(desktop.files()[listPath].size(), 40u);

    SlotRecords slots;
    slots[0] = {"C:\\a b\\x.exe", "x"};
    slots[9] = {"/z", "z"};
    stored.writeSlotList(slots);
    EXPECT_EQ(desktop.files()[listPath],
              "C:\\a b\\x.exe\r\nx\r\n" + crlfs.substr(0, 32) + "/z\r\nz\r\n");

    SlotRecords readBack;
    stored.readSlotList(readBack);
    EXPECT_EQ(readBack, slots);
}

// A path with a NUL byte is refused when it is started (slots); reading keeps it, byte for byte,
// so that a save of another slot does not quietly drop it.
TEST_F(SlotList, APathWithANulByteIsKeptAsItWas) {
    using namespace std::string_literals;
    std::string text = "/bin/ls\r\nls\r\n/bin/\0sh\r\nsh\r\n"s;
    for (int line = 4; line < 20; ++line)
        text += "\r\n";
    desktop.files()[listPath] = text;
    SlotRecords slots;
    stored.readSlotList(slots);
    EXPECT_EQ(slots[1], (SlotRecord{"/bin/\0sh"s, "sh"}));
    stored.writeSlotList(slots);
    EXPECT_EQ(desktop.files()[listPath], text);
}

// Until the first save makes it, the user's settings folder is not there: a file in it is missing,
// not behind a wrong path. A folder that is there and still gives "path not found" says so.
TEST_F(SlotList, AFileInAFolderNotMadeYetIsNotFound) {
    failOn(desktop, FileOperation::read, listPath, {FileFailure::pathNotFound, 3});
    SlotRecords slots;
    EXPECT_EQ(errorTextOf([&] { stored.readSlotList(slots); }), "File not found");
    desktop.files()[positionPath] = "1\r\n2\r\n";
    EXPECT_EQ(errorTextOf([&] { stored.readSlotList(slots); }), "Invalid filename");
}

// The exit writes the slots before the position only while no slot list is there.
TEST_F(SlotList, WrittenAtExitOnlyWhenMissing) {
    const SlotRecords slots = filledSlots("now");
    stored.writeSlotListIfMissing(slots);
    SlotRecords readBack;
    stored.readSlotList(readBack);
    EXPECT_EQ(readBack, slots);
    stored.writeSlotListIfMissing(filledSlots("later"));
    stored.readSlotList(readBack);
    EXPECT_EQ(readBack, slots);
}

// An assignment takes the list as it is on disk and changes one slot: what another strip saved
// meanwhile stays and is then shown; a list that is there but unread is never written over, and
// a failed save leaves the slots showing what is stored.
TEST_F(SlotList, AnAssignmentChangesOneSlotOfTheListOnDisk) {
    const std::string onDisk = numberedLines(20, "\r\n");
    struct Row {
        const char* what;
        FileOperation failing;
        FileStatus failure;
        const char* error; // nothing when the save succeeds
    };
    const Row rows[] = {
        {"saved", FileOperation::read, {}, nullptr},
        {"held by another program",
         FileOperation::read,
         {FileFailure::inUse, 32},
         "File in use by another program"},
        {"not readable",
         FileOperation::read,
         {FileFailure::accessDenied, 13},
         "File access denied"},
        {"too large", FileOperation::read, {FileFailure::tooLarge, 27}, "File too large"},
        {"not writable",
         FileOperation::replace,
         {FileFailure::accessDenied, 13},
         "File access denied"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        desktop.files()[listPath] = onDisk;
        SlotRecords shown = filledSlots("shown"); // read before another strip saved
        failOn(desktop, row.failing, listPath, row.failure);
        if (!row.error) {
            stored.assignSlot(shown, 3, {"/new", "new"});
            SlotRecords expected;
            stored.readSlotList(expected);
            EXPECT_EQ(expected[2].path, "line5") << "another strip's slot stays";
            EXPECT_EQ(expected[3], (SlotRecord{"/new", "new"}));
            EXPECT_EQ(shown, expected);
            continue;
        }
        EXPECT_EQ(errorTextOf([&] { stored.assignSlot(shown, 3, {"/new", "new"}); }), row.error);
        EXPECT_EQ(desktop.files()[listPath], onDisk) << "untouched";
        EXPECT_NE(shown[3].path, "/new");
    }
}

// An opening reads the list only when its size, time or identity changed since the last look.
TEST_F(SlotList, ARefreshReadsOnlyAChangedList) {
    int reads = 0;
    desktop.setFaultInjector([&](FileOperation operation, const std::string&) {
        reads += operation == FileOperation::read;
        return FileStatus{};
    });
    desktop.files()[listPath] = numberedLines(20, "\r\n");
    SlotRecords slots;
    stored.readSlotList(slots);
    EXPECT_FALSE(stored.refreshSlotList(slots));
    EXPECT_EQ(reads, 1);
    desktop.files()[listPath] = numberedLines(2, "\r\n");
    EXPECT_TRUE(stored.refreshSlotList(slots));
    EXPECT_EQ(slots[1].path, "");
    stored.assignSlot(slots, 1, {"/mine", "mine"});
    const int afterSave = reads;
    EXPECT_FALSE(stored.refreshSlotList(slots)) << "its own save is no change";
    EXPECT_EQ(reads, afterSave);
}

TEST_F(SlotList, FailingWriteThrows) {
    failOn(desktop, FileOperation::replace, listPath, {FileFailure::accessDenied, 13});
    EXPECT_EQ(errorTextOf([&] { stored.writeSlotList(filledSlots("")); }), "File access denied");
}

TEST(ConvertNumber, FollowsTheStoredTextRules) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"132", 132}, {"  132", 132}, {"132 ", 132}, {"-30", -30}, {"+7", 7},     {"$1F", 31},
        {"0x1f", 31}, {"0X1F", 31},   {"x1f", 31},   {"X1F", 31},  {"-$10", -16}, {"12ab", 12},
        {"-30 ", 30}, {"-30x", 30},   {"abc", 0},    {"-", 0},     {"", 0},       {"0", 0},
        {"-0", 0},    {"0x", 0},      {"$", 0},      {"$1G", 1},   {"1F", 1},     {"- 5", 0},
        {"+-5", 0},   {"\t5", 0},     {"007", 7},    {" -0x", 0},  {"$0x1", 0},   {"  ", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(convertNumber(text), expected) << '"' << text << '"';
}

TEST(ConvertNumber, ClampsValuesBeyond32Bits) {
    constexpr std::int32_t max = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t min = std::numeric_limits<std::int32_t>::min();
    const std::pair<const char*, std::int32_t> cases[] = {
        {"2147483647", max},
        {"2147483648", max},
        {"-2147483647", min + 1},
        {"-2147483648", min},
        {"-2147483649", min},
        {"$7FFFFFFF", max},
        {"$80000000", max},
        {"-$80000000", min},
        {"99999999999999999999999999999999", max},
        {"-99999999999999999999999999999999", min},
        {"-$FFFFFFFFFFFFFFFFFFFFFFFF", min},
        // A number that stops early loses its sign, so it clamps upward.
        {"-99999999999 ", max},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(convertNumber(text), expected) << '"' << text << '"';
}

TEST_F(PositionFile, ReadsTopThenLeftAndKeepsTheTexts) {
    desktop.files()[positionPath] = "  -30\r\nabc\r\n999\r\n";
    PositionText text;
    const Position position = stored.readPosition(text);
    EXPECT_EQ(position.top, -30);
    EXPECT_EQ(position.left, 0);
    EXPECT_EQ(text.ft, "  -30");
    EXPECT_EQ(text.fl, "abc");

    stored.writePosition(text);
    EXPECT_EQ(desktop.files()[positionPath], "  -30\r\nabc\r\n");
}

TEST_F(PositionFile, MissingLinesReadAsZero) {
    PositionText text{"old", "old"};

    desktop.files()[positionPath] = "100\n";
    Position position = stored.readPosition(text);
    EXPECT_EQ(position.top, 100);
    EXPECT_EQ(position.left, 0);
    EXPECT_EQ(text.fl, "");

    desktop.files()[positionPath] = "";
    position = stored.readPosition(text);
    EXPECT_EQ(position.top, 0);
    EXPECT_EQ(position.left, 0);
    EXPECT_EQ(text.ft, "");
}

TEST_F(PositionFile, EmptyTextsWriteFourBytesAndFailuresThrow) {
    stored.writePosition({});
    EXPECT_EQ(desktop.files()[positionPath], "\r\n\r\n");

    desktop.files().clear();
    PositionText text{"kept", "kept"};
    EXPECT_EQ(errorTextOf([&] { stored.readPosition(text); }), "File not found");
    EXPECT_EQ(text.ft, "kept");
    EXPECT_EQ(text.fl, "kept");

    failOn(desktop, FileOperation::replace, positionPath, {FileFailure::tooManyOpenFiles, 24});
    EXPECT_EQ(errorTextOf([&] { stored.writePosition(text); }), "Too many open files");
}

// The files are read and written in one folder for the whole run, even when the program's own
// folder fills up with files meanwhile.
TEST(StoredFiles, FolderIsChosenOnceForTheRun) {
    FakeDesktop desktop;
    desktop.setExecutablePath("dravix");
    StoredFiles stored(desktop);
    stored.writePosition({"1", "2"});
    desktop.setExecutablePath("C:\\Dravix\\dravix.exe");
    desktop.setPathSeparator('\\');
    stored.writePosition({"3", "4"});
    EXPECT_EQ(desktop.files()["dravix.ini"], "3\r\n4\r\n");
    EXPECT_FALSE(desktop.files().contains("C:\\Dravix\\dravix.ini"));
}

// A bare program name stands for the working folder, which is asked whether it takes files.
TEST(StoredFiles, ABareProgramNameAsksTheWorkingFolder) {
    FakeDesktop desktop;
    desktop.setExecutablePath("dravix");
    desktop.makeFolderReadOnly(".");
    StoredFiles stored(desktop);
    stored.writePosition({"1", "2"});
    EXPECT_EQ(desktop.files().size(), 1u);
    EXPECT_TRUE(desktop.files().contains(desktop.userSettingsFolder() + "dravix.ini"));
}

} // namespace
} // namespace dravix
