#include "platform/win32/win32_services.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace dravix::win32 {

namespace {

// Windows paths end well before this; a longer answer means something is wrong.
constexpr std::size_t longestPath = 1 << 16;

// The system's text for an error code as one clause: the core's error box adds the full stop.
std::string systemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? std::wstring_view(buffer, length) : std::wstring_view());
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        return "Error " + std::to_string(code);
    return utf8FromWide(text);
}

} // namespace

std::string launchFailureText(const std::string& path, std::string_view systemText) {
    const auto digit = [&](std::size_t at) {
        return at < systemText.size() && systemText[at] >= '0' && systemText[at] <= '9';
    };
    bool named = false;
    std::string text;
    std::size_t at = 0;
    while (at < systemText.size()) {
        if (systemText[at] != '%' || !digit(at + 1) || systemText[at + 1] == '0') {
            text += systemText[at++];
            continue;
        }
        std::size_t end = at + 1;
        while (digit(end))
            ++end;
        const bool first = systemText.substr(at + 1, end - at - 1) == "1";
        // A printf format may follow between exclamation marks: %1!s!.
        if (end < systemText.size() && systemText[end] == '!') {
            const std::size_t close = systemText.find('!', end + 1);
            if (close != std::string_view::npos)
                end = close + 1;
        }
        at = end;
        if (first) {
            text += path;
            named = true;
        } else if (!text.empty() && text.back() == ' ' &&
                   (at == systemText.size() ||
                    std::ispunct(static_cast<unsigned char>(systemText[at])) != 0 ||
                    systemText[at] == ' ')) {
            text.pop_back(); // the space before a left-out insert goes with it
        }
    }
    return named ? text : path + ": " + text;
}

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

Win32System::Win32System(LateLaunchOutcome report) : report_(std::move(report)) {}

std::string Win32System::executablePath() const {
    return win32::executablePath();
}

std::string Win32System::userSettingsFolder() const {
    return win32::userSettingsFolder();
}

bool Win32System::exists(const std::string& path) const {
    return win32::exists(path);
}

bool Win32System::folderWritable(const std::string& folder) const {
    return win32::folderWritable(folder);
}

FileStatus Win32System::readFile(const std::string& path, std::string& contents) {
    return win32::readFile(path, contents);
}

FileStatus Win32System::replaceFile(const std::string& path, std::string_view contents) {
    return win32::replaceFile(path, contents);
}

FileStatus Win32System::updateFile(const std::string& path, const FileChange& change) {
    return win32::updateFile(path, change);
}

FileStamp Win32System::stampOf(const std::string& path) const {
    return win32::stampOf(path);
}

int Win32System::millisecondOfDay() const {
    return win32::millisecondOfDay();
}

// ShellExecuteExW may take seconds: a file on a share that is offline, a handler that starts
// slowly, a DDE conversation. So it runs on a thread of its own, with copies of all it needs, and
// the strip's slide and tick go on meanwhile. The thread may outlive the window, and the process
// may end while it runs (the file then starts or not, as it happens).
LaunchOutcome Win32System::launch(const std::string& path, const std::string& workingFolder) {
    if (path.empty())
        return LaunchOutcome::failure(systemMessage(ERROR_FILE_NOT_FOUND));
    auto start = [report = report_, path, file = wideFromUtf8(path),
                  folder = wideFromUtf8(workingFolder)] {
        // The shell's handlers expect a single-threaded apartment.
        const bool comInitialized =
            SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
        SHELLEXECUTEINFOW request{};
        request.cbSize = sizeof request;
        // NOASYNC: the shell finishes before the thread ends. NO_UI: the strip tells the user.
        request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        request.lpFile = file.c_str();
        request.lpDirectory = folder.empty() ? nullptr : folder.c_str();
        request.nShow = SW_RESTORE;
        const bool started = ShellExecuteExW(&request);
        const DWORD error = started ? ERROR_SUCCESS : GetLastError();
        if (comInitialized)
            CoUninitialize();
        if (!report)
            return;
        if (started)
            report(std::nullopt);
        else
            report(launchFailureText(path, systemMessage(error)));
    };
    try {
        std::thread(std::move(start)).detach();
    } catch (const std::system_error& error) {
        return LaunchOutcome::failure(error.code().message());
    }
    return {LaunchOutcome::State::pending, {}};
}

} // namespace dravix::win32
