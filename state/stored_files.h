#pragma once

#include "platform/place.h"
#include "platform/system_port.h"
#include "state/text_file.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravix {

inline constexpr std::string_view slotListFileName = "dravix.dat";
inline constexpr std::string_view positionFileName = "dravix.ini";
inline constexpr int slotCount = 10;

struct SlotRecord {
    std::string path; // eN
    std::string name; // e2N

    friend bool operator==(const SlotRecord&, const SlotRecord&) = default;
};
using SlotRecords = std::array<SlotRecord, slotCount>;

// The window position as the text kept for the exit: ft holds Top, fl holds Left.
struct PositionText {
    std::string ft;
    std::string fl;
};

struct Position {
    std::int32_t top = 0;
    std::int32_t left = 0;
};

// The place the texts name, read as the start-up load reads them.
Place placeOf(const PositionText& position);
// The texts of a place: decimal, with a minus sign when negative.
PositionText positionTextOf(Place place);

// Text to a 32-bit integer: leading spaces, one sign, "$", "x", "X", "0x" or "0X" for hex.
// At the first character that is not a digit it stops and drops the sign; no digits give 0.
// A value too large for 32 bits is clamped to the nearest 32-bit value.
std::int32_t convertNumber(std::string_view text);

// The folder of both stored files: beside the executable when that folder already holds either
// file or the user may write in it, so that a portable copy keeps its files with it; otherwise
// the user's own settings folder, so that an installed program keeps them for each user. Asks the
// system only, so the program can claim the folder before it makes its window.
std::string storedFilesFolder(const SystemPort& system);

// The slot list file and the position file, both in the folder storedFilesFolder names.
class StoredFiles {
public:
    explicit StoredFiles(SystemPort& system) : system_(system), listFile_(system) {}

    // storedFilesFolder, chosen at the first use and kept for the run.
    const std::string& folder();

    // Twenty lines, path before name, slot by slot, reading one line ahead. Every byte is kept,
    // a NUL byte too: such a path is refused where it would be used (its launch), and a later
    // save writes it back as it was. A file in a folder that does not exist yet is missing
    // ("File not found"). Throws FileError.
    void readSlotList(SlotRecords& slots);
    // Writes the list whole from the slots, over whatever the file holds.
    void writeSlotList(const SlotRecords& slots);
    // Puts the record into one slot of the list as it is on disk at this moment, under the file's
    // lock, and saves that list, so what another strip or a hand edit saved stays; slots then
    // hold the list saved. A list that is there but cannot be read is not written over, and a
    // failing save leaves the file as it was: both throw FileError, the slots then holding the
    // list as read when it could be read, as they were otherwise.
    void assignSlot(SlotRecords& slots, int slot, SlotRecord record);
    // Reads the list again when the file changed since this run last read or saved it (a look at
    // its size, time and identity; no read when unchanged); true when it was read. A read that
    // fails leaves the slots as they are and says nothing: the next save reads again anyway.
    bool refreshSlotList(SlotRecords& slots);
    // Writes the slots when no slot list file is there yet, under the lock an assignment takes.
    // The exit calls it before it writes the position, so that a position file never stands
    // alone: a missing slot list at start then means the very first start (or a lost list),
    // never a place saved before any slot was.
    void writeSlotListIfMissing(const SlotRecords& slots);

    // Puts the two lines into ft and fl as read and returns their numbers. Throws FileError.
    Position readPosition(PositionText& position);
    void writePosition(const PositionText& position);

private:
    std::string pathOf(std::string_view fileName);
    void openForReading(std::string_view fileName);

    SystemPort& system_;
    std::optional<std::string> folder_;
    // The slot list file as it was when this run last read or saved it.
    std::optional<FileStamp> listStamp_;
    TextFile listFile_;
    std::string lineBuffer_;
};

} // namespace dravix
