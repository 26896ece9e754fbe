#include "platform/win32/win32_folder_claim.h"

#include <windows.h>

namespace dravix::win32 {

namespace {

// Read by other processes, so it is a string property: Windows keeps its name as a global atom.
constexpr const wchar_t* markProperty = L"Dravix.Folder";
// Windows paths end well before this many UTF-16 units.
constexpr DWORD longestPath = 32768;
constexpr DWORD searchStepMs = 50;

// FNV-1a over the UTF-16 units: no collision between two folders is to be expected in practice,
// and a collision would only keep the later of two copies from running.
std::uint64_t hashOf(const std::wstring& text) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const wchar_t unit : text) {
        for (int shift = 0; shift < 16; shift += 8) {
            hash ^= (static_cast<std::uint16_t>(unit) >> shift) & 0xFF;
            hash *= 1099511628211ULL;
        }
    }
    return hash;
}

std::wstring mutexName(std::uint64_t mark) {
    // Mutex names may not hold a backslash beyond the namespace's, hence a hash and not the path.
    std::wstring name = L"Local\\Dravix-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name += L"0123456789abcdef"[(mark >> shift) & 0xF];
    return name;
}

struct Search {
    std::uintptr_t mark;
    HWND found = nullptr;
};

BOOL CALLBACK checkWindow(HWND window, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    if (reinterpret_cast<std::uintptr_t>(GetPropW(window, markProperty)) != search->mark)
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

std::uint64_t folderMark(const std::wstring& given) {
    std::wstring folder = given;
    // A separator at the end names the same folder, except in a drive's root ("C:\").
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') &&
           folder[folder.size() - 2] != L':')
        folder.pop_back();
    // The long name exists only for a folder that exists: the nearest one on the way gives it,
    // and the part not made yet follows as written, so the name is the same before and after the
    // folder is made.
    std::wstring name = folder;
    std::wstring missing;
    std::wstring longName(longestPath, L'\0');
    for (std::wstring existing = folder; !existing.empty();) {
        const DWORD length = GetLongPathNameW(existing.c_str(), longName.data(), longestPath);
        if (length > 0 && length < longestPath) {
            name.assign(longName.data(), length);
            name += missing;
            break;
        }
        const DWORD error = GetLastError();
        const std::size_t cut = existing.find_last_of(L"\\/");
        if (cut == std::wstring::npos || cut == 0 || existing[cut - 1] == L':' ||
            (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND))
            break;
        missing = existing.substr(cut) + missing;
        existing.resize(cut);
    }
    // File names on Windows do not tell capitals apart.
    if (!name.empty())
        CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    const std::uint64_t hash = hashOf(name);
    return hash == 0 ? 1 : hash;
}

FolderClaim::FolderClaim(std::uint64_t mark) {
    // Only the mutex's existence counts, so this copy does not own it.
    mutex_ = CreateMutexW(nullptr, FALSE, mutexName(mark).c_str());
    const DWORD error = GetLastError();
    // A mutex made by a copy that runs with other rights cannot be opened, which also means the
    // folder is taken. Any other failure lets this copy run rather than none.
    held_ = mutex_ != nullptr ? error != ERROR_ALREADY_EXISTS : error != ERROR_ACCESS_DENIED;
}

FolderClaim::~FolderClaim() {
    if (mutex_ != nullptr)
        CloseHandle(mutex_);
}

void markWindow(HWND window, std::uint64_t mark) {
    SetPropW(window, markProperty, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(mark)));
}

void unmarkWindow(HWND window) {
    RemovePropW(window, markProperty);
}

bool bringStripToFront(std::uint64_t mark, unsigned patienceMs) {
    Search search{static_cast<std::uintptr_t>(mark)};
    for (DWORD waited = 0;; waited += searchStepMs) {
        EnumWindows(checkWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            break;
        if (waited >= patienceMs)
            return false;
        Sleep(searchStepMs);
    }
    // A strip with a modal box up is disabled; the box is what the user can act on. This
    // process was just started by the user, so Windows lets it hand on the foreground: to the
    // strip's process as well, which takes it itself once the message arrives, so that the keys
    // reach the strip even where a window manager ignored the change made from here.
    DWORD stripProcess = 0;
    GetWindowThreadProcessId(search.found, &stripProcess);
    if (stripProcess != 0)
        AllowSetForegroundWindow(stripProcess);
    SetForegroundWindow(GetLastActivePopup(search.found));
    PostMessageW(search.found, anotherStartMessage(), 0, 0);
    return true;
}

unsigned anotherStartMessage() {
    static const UINT message = RegisterWindowMessageW(L"Dravix.AnotherStart");
    return message;
}

} // namespace dravix::win32
