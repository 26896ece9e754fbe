// The slot list reader over an arbitrary file, then the writer and the reader again: the
// fields must be the file's first twenty lines, the written file must be exactly the fields
// with CR LF each, a read of it must give the fields back, and a failing step must leave both
// the file and the fields as they were.

#include "platform/fake/fake_desktop.h"
#include "state/stored_files.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/reference_lines.h"

#include <algorithm>
#include <string>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

constexpr int fieldCount = 2 * slotCount;

std::string& field(SlotRecords& slots, int n) {
    return n % 2 == 0 ? slots[n / 2].path : slots[n / 2].name;
}

const std::string& field(const SlotRecords& slots, int n) {
    return n % 2 == 0 ? slots[n / 2].path : slots[n / 2].name;
}

std::string fileOf(const SlotRecords& slots) {
    std::string file;
    for (int n = 0; n < fieldCount; ++n)
        file += field(slots, n) + "\r\n";
    return file;
}

void checkFieldsAreLinesOf(const SlotRecords& slots, std::string_view file) {
    const std::vector<std::string> lines = referenceLines(file);
    for (int n = 0; n < fieldCount; ++n)
        FUZZ_CHECK(field(slots, n) == referenceLine(lines, static_cast<std::size_t>(n)));
}

// Twenty fields cut from the input in equal parts, so they may hold any byte.
SlotRecords fieldsCutFrom(std::string_view bytes) {
    SlotRecords slots;
    for (int n = 0; n < fieldCount; ++n) {
        const std::size_t from = bytes.size() * n / fieldCount;
        const std::size_t to = bytes.size() * (n + 1) / fieldCount;
        field(slots, n) = std::string(bytes.substr(from, to - from));
    }
    return slots;
}

std::string withoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// A failure chosen from the input, so every kind and many platform codes are met.
FileStatus failureFor(std::string_view bytes) {
    const auto kind = static_cast<FileFailure>(1 + bytes.size() % 5);
    const int code = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) - 128;
    return {kind, code};
}

template <typename Step> std::string failureTextOf(Step&& step) {
    try {
        step();
    } catch (const FileError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = asText(data, size);
    FakeDesktop desktop;
    const std::string listName(slotListFileName);
    desktop.putFileInExecutableFolder(listName, std::string(bytes));
    StoredFiles stored(desktop);

    // The file as found: the fields are its first twenty lines.
    SlotRecords read;
    stored.readSlotList(read);
    checkFieldsAreLinesOf(read, bytes);

    // Writing them gives twenty CR LF lines and nothing else; reading that gives them back.
    stored.writeSlotList(read);
    const std::string written = desktop.fileInExecutableFolder(listName);
    FUZZ_CHECK(written == fileOf(read));
    SlotRecords reread;
    stored.readSlotList(reread);
    FUZZ_CHECK(reread == read || startsWithByteOrderMark(read[0].path));

    // Fields with any bytes: the file holds them verbatim; they come back whole when none
    // holds LF or byte 26, less any CR.
    const SlotRecords cut = fieldsCutFrom(bytes);
    stored.writeSlotList(cut);
    const std::string cutFile = desktop.fileInExecutableFolder(listName);
    FUZZ_CHECK(cutFile == fileOf(cut));
    SlotRecords back;
    stored.readSlotList(back);
    checkFieldsAreLinesOf(back, cutFile);
    if (bytes.find_first_of(std::string_view("\n\x1a", 2)) == std::string_view::npos &&
        !startsWithByteOrderMark(cut[0].path)) {
        for (int n = 0; n < fieldCount; ++n)
            FUZZ_CHECK(field(back, n) == withoutCr(field(cut, n)));
        if (bytes.find('\r') == std::string_view::npos)
            FUZZ_CHECK(back == cut);
    }

    // A failing replace throws the failure's text and leaves the old file in place.
    const FileStatus failure = failureFor(bytes);
    FileOperation failing = FileOperation::replace;
    desktop.setFaultInjector([&](FileOperation operation, const std::string&) {
        return operation == failing ? failure : FileStatus{};
    });
    FUZZ_CHECK(failureTextOf([&] { stored.writeSlotList(read); }) == fileErrorText(failure));
    FUZZ_CHECK(desktop.fileInExecutableFolder(listName) == cutFile);

    // A failing read throws and leaves every field as it was.
    failing = FileOperation::read;
    SlotRecords untouched = cut;
    FUZZ_CHECK(failureTextOf([&] { stored.readSlotList(untouched); }) == fileErrorText(failure));
    FUZZ_CHECK(untouched == cut);

    // After the failures the same handle reads the file again.
    desktop.setFaultInjector(nullptr);
    SlotRecords afterFailures;
    stored.readSlotList(afterFailures);
    FUZZ_CHECK(afterFailures == back);
    return 0;
}
