// A slot's display name and working folder from an arbitrary path, with either separator. The
// name is checked against the backward scan that builds it one character at a time (each "."
// empties what was gathered, the separator stops the scan), then reversed.

#include "slots/slot_paths.h"
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>
#include <string>

using namespace dravix;
using namespace dravix::fuzzing;

namespace {

std::string scannedName(std::string_view path, char separator) {
    std::string reversed;
    for (std::size_t at = path.size(); at > 0; --at) {
        const char c = path[at - 1];
        if (c == separator)
            break;
        if (c == '.')
            reversed.clear();
        else
            reversed.push_back(c);
    }
    return {reversed.rbegin(), reversed.rend()};
}

void checkPath(std::string_view path, char separator) {
    const std::string folder = workingFolderOf(path, separator);
    const std::string name = displayNameOf(path, separator);

    // The folder is the path up to and including its last separator; the rest, the last
    // component, holds no separator.
    FUZZ_CHECK(path.starts_with(folder));
    FUZZ_CHECK(folder.empty() || folder.back() == separator);
    const std::string_view lastComponent = path.substr(folder.size());
    FUZZ_CHECK(lastComponent.find(separator) == std::string_view::npos);
    FUZZ_CHECK(!folder.empty() || path.find(separator) == std::string_view::npos);

    // The name opens the last component and stops before its first ".".
    FUZZ_CHECK(lastComponent.starts_with(name));
    FUZZ_CHECK(name.find(separator) == std::string::npos);
    FUZZ_CHECK(name.find('.') == std::string::npos);
    FUZZ_CHECK(name.size() == lastComponent.size() || lastComponent[name.size()] == '.');
    FUZZ_CHECK(name == scannedName(path, separator));

    // A name is its own name, with no folder.
    FUZZ_CHECK(displayNameOf(name, separator) == name);
    FUZZ_CHECK(workingFolderOf(name, separator).empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path = asText(data, size);
    checkPath(path, '/');
    checkPath(path, '\\');
    return 0;
}
