#include "state/stored_files.h"

#include <cassert>
#include <limits>
#include <utility>

namespace dravix {

namespace {

constexpr std::uint64_t int32Max = std::numeric_limits<std::int32_t>::max();
// Magnitudes are accumulated up to this ceiling and then held there; it lies above every
// 32-bit value, so clamping afterwards gives the same result as exact arithmetic would.
constexpr std::uint64_t magnitudeCeiling = std::uint64_t{1} << 40;

int digitValue(char c, int base) {
    int value = base; // not a digit of the base
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

std::int32_t clampToInt32(std::uint64_t magnitude, bool negative) {
    if (!negative)
        return magnitude > int32Max ? std::numeric_limits<std::int32_t>::max()
                                    : static_cast<std::int32_t>(magnitude);
    if (magnitude > int32Max)
        return std::numeric_limits<std::int32_t>::min();
    return -static_cast<std::int32_t>(magnitude);
}

// Twenty lines, path before name, one line ahead of the field being filled, so a twenty-first
// line is read and dropped.
template <class Reader> void fillSlots(Reader& reader, std::string& buffer, SlotRecords& slots) {
    reader.readLine(buffer);
    for (SlotRecord& slot : slots) {
        slot.path = buffer;
        reader.readLine(buffer);
        slot.name = buffer;
        reader.readLine(buffer);
    }
}

std::string slotListText(const SlotRecords& slots) {
    std::string text;
    for (const SlotRecord& slot : slots) {
        text.append(slot.path).append("\r\n");
        text.append(slot.name).append("\r\n");
    }
    return text;
}

} // namespace

std::int32_t convertNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;

    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }

    int base = 10;
    const std::string_view rest = text.substr(at);
    if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X')) {
        base = 16;
        at += 1;
    } else if (rest.size() >= 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')) {
        base = 16;
        at += 2;
    }

    std::uint64_t magnitude = 0;
    std::size_t digits = 0;
    for (; at < text.size(); ++at) {
        const int digit = digitValue(text[at], base);
        if (digit < 0)
            break;
        magnitude =
            magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (magnitude > magnitudeCeiling)
            magnitude = magnitudeCeiling;
        ++digits;
    }

    // A clean number keeps its sign; one that stops early gives its leading digits unsigned.
    const bool clean = digits > 0 && at == text.size();
    return clampToInt32(magnitude, clean && negative);
}

Place placeOf(const PositionText& position) {
    return {convertNumber(position.fl), convertNumber(position.ft)};
}

PositionText positionTextOf(Place place) {
    return {std::to_string(place.top), std::to_string(place.left)};
}

std::string storedFilesFolder(const SystemPort& system) {
    std::string besideProgram = executableFolder(system);
    const bool holdsAFile = system.exists(besideProgram + std::string(slotListFileName)) ||
                            system.exists(besideProgram + std::string(positionFileName));
    // An empty folder is the working folder, as the bare name of the executable says.
    const std::string probed = besideProgram.empty() ? std::string(".") : besideProgram;
    if (holdsAFile || system.folderWritable(probed))
        return besideProgram;
    return system.userSettingsFolder();
}

const std::string& StoredFiles::folder() {
    if (!folder_)
        folder_ = storedFilesFolder(system_);
    return *folder_;
}

std::string StoredFiles::pathOf(std::string_view fileName) {
    return folder() + std::string(fileName);
}

void StoredFiles::openForReading(std::string_view fileName) {
    listFile_.bind(pathOf(fileName));
    FileStatus status = listFile_.tryOpenForReading();
    // The user's settings folder is made at the first save: until then a stored file in it is
    // missing, as on any first start, rather than behind a wrong path.
    if (status.failure == FileFailure::pathNotFound && !system_.exists(folder()))
        status.failure = FileFailure::notFound;
    if (!status.ok())
        throw FileError(fileErrorText(status));
}

void StoredFiles::readSlotList(SlotRecords& slots) {
    // Taken before the read, so that a change between the two shows at the next look.
    listStamp_ = system_.stampOf(pathOf(slotListFileName));
    openForReading(slotListFileName);
    fillSlots(listFile_, lineBuffer_, slots);
    listFile_.close();
}

bool StoredFiles::refreshSlotList(SlotRecords& slots) {
    if (listStamp_ && system_.stampOf(pathOf(slotListFileName)) == *listStamp_)
        return false;
    SlotRecords read = slots;
    try {
        readSlotList(read);
    } catch (const FileError&) {
        return false;
    }
    slots = std::move(read);
    return true;
}

void StoredFiles::assignSlot(SlotRecords& slots, int slot, SlotRecord record) {
    assert(slot >= 0 && slot < slotCount && "slot number out of range");
    const std::string path = pathOf(slotListFileName);
    std::optional<SlotRecords> read;
    const FileStatus status =
        system_.updateFile(path, [&](const std::optional<std::string>& current) {
            SlotRecords list;
            if (current) {
                LineReader reader(*current);
                std::string buffer;
                fillSlots(reader, buffer, list);
            }
            read = list;
            list[slot] = record;
            return std::optional<std::string>(slotListText(list));
        });
    if (read)
        slots = *read;
    if (!status.ok())
        throw FileError(fileErrorText(status));
    slots[slot] = std::move(record);
    listStamp_ = system_.stampOf(path);
}

// A list that is there but cannot be read is there: it is left alone, and the exit goes on.
void StoredFiles::writeSlotListIfMissing(const SlotRecords& slots) {
    bool missing = false;
    const FileStatus status = system_.updateFile(
        pathOf(slotListFileName), [&](const std::optional<std::string>& current) {
            missing = !current;
            return missing ? std::optional<std::string>(slotListText(slots)) : std::nullopt;
        });
    if (missing && !status.ok())
        throw FileError(fileErrorText(status));
}

void StoredFiles::writeSlotList(const SlotRecords& slots) {
    listFile_.bind(pathOf(slotListFileName));
    listFile_.openForWriting();
    for (const SlotRecord& slot : slots) {
        listFile_.writeLine(slot.path);
        listFile_.writeLine(slot.name);
    }
    listFile_.close();
}

Position StoredFiles::readPosition(PositionText& position) {
    openForReading(positionFileName);
    Position result;
    listFile_.readLine(lineBuffer_);
    position.ft = lineBuffer_;
    result.top = convertNumber(lineBuffer_);
    listFile_.readLine(lineBuffer_);
    position.fl = lineBuffer_;
    result.left = convertNumber(lineBuffer_);
    listFile_.close();
    return result;
}

void StoredFiles::writePosition(const PositionText& position) {
    listFile_.bind(pathOf(positionFileName));
    listFile_.openForWriting();
    listFile_.writeLine(position.ft);
    listFile_.writeLine(position.fl);
    listFile_.close();
}

} // namespace dravix
