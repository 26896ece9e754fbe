// The position reader over an arbitrary file, and the number conversion over arbitrary text,
// both against a reference conversion written another way: the digits are gathered first and
// their value is taken by std::from_chars, so no hand-made accumulation is shared.

#include "platform/fake/fake_desktop.h"
#include "state/stored_files.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/reference_lines.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

std::int32_t referenceNumber(std::string_view text) {
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos)
        return 0;
    text.remove_prefix(at);

    bool negative = false;
    if (text.starts_with('+') || text.starts_with('-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    std::string_view digitSet = "0123456789";
    int base = 10;
    if (text.starts_with('$') || text.starts_with('x') || text.starts_with('X')) {
        text.remove_prefix(1);
        base = 16;
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        base = 16;
    }
    if (base == 16)
        digitSet = "0123456789abcdefABCDEF";

    const std::size_t digitCount = std::min(text.find_first_not_of(digitSet), text.size());
    const std::string_view digits = text.substr(0, digitCount);
    const bool clean = !digits.empty() && digitCount == text.size();

    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
    if (error == std::errc::result_out_of_range)
        magnitude = std::numeric_limits<std::uint64_t>::max();

    constexpr std::uint64_t limit = std::numeric_limits<std::int32_t>::max();
    if (clean && negative)
        return magnitude > limit ? std::numeric_limits<std::int32_t>::min()
                                 : static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    return magnitude > limit ? std::numeric_limits<std::int32_t>::max()
                             : static_cast<std::int32_t>(magnitude);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = asText(data, size);

    // The whole input as one text, line ends and all.
    FUZZ_CHECK(convertNumber(bytes) == referenceNumber(bytes));

    // The input as the position file: ft and fl are its first two lines, the numbers theirs.
    FakeDesktop desktop;
    const std::string positionName(positionFileName);
    desktop.putFileInExecutableFolder(positionName, std::string(bytes));
    StoredFiles stored(desktop);
    PositionText text;
    const Position position = stored.readPosition(text);
    const std::vector<std::string> lines = referenceLines(bytes);
    FUZZ_CHECK(text.ft == referenceLine(lines, 0));
    FUZZ_CHECK(text.fl == referenceLine(lines, 1));
    FUZZ_CHECK(position.top == referenceNumber(text.ft));
    FUZZ_CHECK(position.left == referenceNumber(text.fl));

    // Written back, the file is the two texts with CR LF each and reads as before.
    stored.writePosition(text);
    FUZZ_CHECK(desktop.fileInExecutableFolder(positionName) == text.ft + "\r\n" + text.fl + "\r\n");
    PositionText again;
    const Position reread = stored.readPosition(again);
    if (startsWithByteOrderMark(text.ft))
        return 0;
    FUZZ_CHECK(again.ft == text.ft && again.fl == text.fl);
    FUZZ_CHECK(reread.top == position.top && reread.left == position.left);
    return 0;
}
