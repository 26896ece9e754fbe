#include "platform/win32/win32_services.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace dravix::win32 {

namespace {

// Windows paths end well before this; a longer answer means something is wrong.
constexpr std::size_t longestPath = 1 << 16;

} // namespace

std::string executablePath(std::size_t initialCapacity) {
    // GetModuleFileNameW cuts a path that does not fit and then returns the buffer's size, so
    // the buffer grows until the answer is shorter than the buffer. An empty result leaves the
    // stored files in the working folder.
    std::vector<wchar_t> buffer(std::max<std::size_t>(initialCapacity, 1));
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return utf8FromWide(std::wstring_view(buffer.data(), length));
        if (buffer.size() >= longestPath)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

int millisecondOfDay() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wMilliseconds;
}

} // namespace dravix::win32
