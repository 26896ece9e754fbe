// The line reader over arbitrary stored bytes: every line it gives must match the independent
// model, hold no line-end byte or byte 26, and past the end it keeps giving the empty text.

#include "state/text_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/reference_lines.h"

#include <string>
#include <vector>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

// Reads `count` lines. Each read goes into a string that still holds text from before, so a
// reader that appends instead of replacing shows up.
std::vector<std::string> readLines(std::string_view bytes, std::size_t count) {
    LineReader reader(bytes);
    std::vector<std::string> lines;
    std::string value = "left over from before";
    for (std::size_t n = 0; n < count; ++n) {
        reader.readLine(value);
        lines.push_back(value);
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = asText(data, size);
    const std::vector<std::string> expected = referenceLines(bytes);

    // Every read consumes at least one byte until the end, so this reads well past it.
    const std::size_t reads = expected.size() + 4;
    const std::vector<std::string> lines = readLines(bytes, reads);

    std::size_t valueBytes = 0;
    for (std::size_t n = 0; n < reads; ++n) {
        const std::string& line = lines[n];
        FUZZ_CHECK(line.find_first_of(std::string_view("\n\r\x1a", 3)) == std::string::npos);
        FUZZ_CHECK(line == referenceLine(expected, n));
        valueBytes += line.size();
    }
    FUZZ_CHECK(valueBytes <= size);

    // Same bytes, same lines.
    FUZZ_CHECK(readLines(bytes, reads) == lines);
    return 0;
}
