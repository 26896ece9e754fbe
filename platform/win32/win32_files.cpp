#include "platform/win32/win32_services.h"

#include "platform/win32/win32_text.h"

#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <utility>

namespace dravix::win32 {

namespace {

// A replacement that meets another program's brief hold on the old file (a virus scanner, an
// indexer, a backup tool looking at it) is tried again every 50 ms for half a second.
constexpr DWORD replaceRetryStepMs = 50;
constexpr DWORD replaceRetryForMs = 500;

// Owns a file handle so that every early return closes it.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(FileHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle& operator=(FileHandle&&) = delete;
    ~FileHandle() {
        if (valid())
            CloseHandle(handle_);
    }

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    // Closes now; the error code of a failing close, 0 on success.
    DWORD closeNow() {
        const HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
        return CloseHandle(handle) ? 0 : GetLastError();
    }

private:
    HANDLE handle_;
};

bool isSeparator(wchar_t character) {
    return character == L'\\' || character == L'/';
}

DWORD writeAll(HANDLE file, std::string_view contents) {
    while (!contents.empty()) {
        const DWORD chunk =
            contents.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(contents.size());
        DWORD written = 0;
        if (!WriteFile(file, contents.data(), chunk, &written, nullptr))
            return GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        contents.remove_prefix(written);
    }
    return 0;
}

// Creates the folder and the missing ones above it, top down. A folder that exists already is
// fine; whatever else stands in the way shows when the file is created in it.
DWORD createFolders(std::wstring folder) {
    while (!folder.empty() && isSeparator(folder.back()))
        folder.pop_back();
    if (folder.empty() || folder.back() == L':')
        return ERROR_PATH_NOT_FOUND; // a drive or share that is not there
    if (CreateDirectoryW(folder.c_str(), nullptr))
        return 0;
    if (const DWORD error = GetLastError(); error != ERROR_PATH_NOT_FOUND)
        return error == ERROR_ALREADY_EXISTS ? 0 : error;
    // The folder above is missing too.
    const std::size_t cut = folder.find_last_of(L"\\/");
    if (cut == std::wstring::npos || cut == 0)
        return ERROR_PATH_NOT_FOUND;
    if (const DWORD error = createFolders(folder.substr(0, cut)); error != 0)
        return error;
    if (CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    return GetLastError();
}

// Makes a file of a name no other file in the folder has, beside path, so that the final rename
// stays inside one volume. The process id keeps two running copies of the program apart.
FileHandle createUniqueBeside(const std::wstring& path, std::wstring& temporary, DWORD& error) {
    const std::wstring stem = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".";
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporary = stem + std::to_wstring(attempt) + L".tmp";
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid()) {
            error = 0;
            return file;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    temporary.clear();
    return FileHandle(INVALID_HANDLE_VALUE);
}

// As createUniqueBeside, creating the missing folders on the way first when there are any (the
// user's settings folder before the first save, say).
FileHandle createTemporaryBeside(const std::wstring& path, std::wstring& temporary, DWORD& error) {
    FileHandle file = createUniqueBeside(path, temporary, error);
    const std::size_t cut = path.find_last_of(L"\\/");
    if (file.valid() || error != ERROR_PATH_NOT_FOUND || cut == std::wstring::npos)
        return file;
    if (const DWORD folderError = createFolders(path.substr(0, cut)); folderError != 0) {
        error = folderError;
        return file;
    }
    return createUniqueBeside(path, temporary, error);
}

// Windows reports every reason why ReplaceFileW could not remove the old file as
// ERROR_UNABLE_TO_REMOVE_REPLACED. Opening the old file for writing, as a plain save would,
// names the reason the user can act on: access denied for a read-only file, a sharing violation
// for one that another program holds open.
DWORD reasonTheOldFileStays(const std::wstring& path, DWORD replaceError) {
    FileHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.valid() ? replaceError : GetLastError();
}

// What another program's hold on the old file makes ReplaceFileW report; it may pass.
bool isTransient(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
           error == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// Puts the finished temporary file in place of path, once. ReplaceFileW keeps the old file's
// attributes and security; it needs an existing target, so a first save moves the file instead.
DWORD tryMoveIntoPlace(const std::wstring& temporary, const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                         nullptr, nullptr))
            return 0;
        const DWORD error = GetLastError();
        // The target vanished since it was looked at: then there is nothing to replace. (After
        // ERROR_UNABLE_TO_MOVE_REPLACEMENT the old file is gone as well, and the next try moves.)
        if (error != ERROR_FILE_NOT_FOUND)
            return error;
    }
    if (MoveFileExW(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return GetLastError();
}

// Whether another program has the file open in a way that keeps it from being replaced.
bool heldByAnotherProgram(const std::wstring& path) {
    FileHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
}

DWORD moveIntoPlace(const std::wstring& temporary, const std::wstring& path) {
    DWORD error = tryMoveIntoPlace(temporary, path);
    for (DWORD waited = 0; isTransient(error) && waited < replaceRetryForMs;
         waited += replaceRetryStepMs) {
        Sleep(replaceRetryStepMs);
        // Replacing again while the file is still held would only fail again (and under Wine
        // leave one more empty rf*.tmp file of its own in the folder).
        if (!heldByAnotherProgram(path))
            error = tryMoveIntoPlace(temporary, path);
    }
    if (error == ERROR_UNABLE_TO_REMOVE_REPLACED)
        return reasonTheOldFileStays(path, error);
    return error;
}

} // namespace

FileStatus statusFromWindowsError(unsigned long code) {
    const int platformCode = code > INT_MAX ? INT_MAX : static_cast<int>(code);
    switch (code) {
    case ERROR_SUCCESS:
        return {};
    case ERROR_FILE_NOT_FOUND:
        return {FileFailure::notFound, platformCode};
    case ERROR_PATH_NOT_FOUND:
        return {FileFailure::pathNotFound, platformCode};
    case ERROR_TOO_MANY_OPEN_FILES:
        return {FileFailure::tooManyOpenFiles, platformCode};
    case ERROR_ACCESS_DENIED:
        return {FileFailure::accessDenied, platformCode};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return {FileFailure::diskFull, platformCode};
    // Still held after the retries of a replacement.
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return {FileFailure::inUse, platformCode};
    default:
        return {FileFailure::other, platformCode};
    }
}

FileStatus readFile(const std::string& path, std::string& contents) {
    contents.clear();
    // A folder cannot be opened this way (no FILE_FLAG_BACKUP_SEMANTICS): access denied.
    FileHandle file(CreateFileW(wideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                nullptr));
    if (!file.valid())
        return statusFromWindowsError(GetLastError());
    // A device (NUL, CON, a serial port) or a pipe is no stored file, and reading it may wait.
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        return statusFromWindowsError(ERROR_ACCESS_DENIED);

    // Read until the end rather than trusting the size, which may change under us, but never
    // more than one byte past the largest stored file.
    constexpr std::size_t mostRead = maxStoredFileSize + 1;
    char chunk[65536];
    while (contents.size() < mostRead) {
        const DWORD wanted = static_cast<DWORD>(std::min(sizeof chunk, mostRead - contents.size()));
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, wanted, &got, nullptr)) {
            const DWORD error = GetLastError();
            contents.clear();
            return statusFromWindowsError(error);
        }
        if (got == 0)
            break;
        contents.append(chunk, got);
    }
    if (contents.size() > maxStoredFileSize) {
        contents.clear();
        return {FileFailure::tooLarge, 0};
    }
    contents = utf8FromStoredText(contents, ansiCodePage());
    return {};
}

namespace {

FileStatus replaceOrCreate(const std::string& path, std::string_view contents, bool onlyIfNew) {
    const std::wstring target = wideFromUtf8(path);
    // ReplaceFileW would replace a read-only file, and Wine even a folder; neither is the user's
    // to overwrite by a save.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return statusFromWindowsError(ERROR_ACCESS_DENIED);

    std::wstring temporary;
    DWORD error = 0;
    FileHandle file = createTemporaryBeside(target, temporary, error);
    if (!file.valid())
        return statusFromWindowsError(error);

    error = writeAll(file.get(), contents);
    if (error == 0 && !FlushFileBuffers(file.get()))
        error = GetLastError();
    const DWORD closeError = file.closeNow();
    if (error == 0)
        error = closeError;
    if (error != 0) {
        DeleteFileW(temporary.c_str());
        return statusFromWindowsError(error);
    }
    if (onlyIfNew) {
        // Without MOVEFILE_REPLACE_EXISTING the move fails when a file got there first.
        error = MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)
                    ? 0
                    : GetLastError();
        if (error != 0)
            DeleteFileW(temporary.c_str());
        return statusFromWindowsError(error);
    }
    error = moveIntoPlace(temporary, target);
    // When ReplaceFileW took the old file away and the new one could not follow it
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT every time), the new file is the only copy of the
    // content left: it stays under its temporary name.
    const bool oldFileGone = attributes != INVALID_FILE_ATTRIBUTES &&
                             GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (error != 0 && !oldFileGone)
        DeleteFileW(temporary.c_str());
    return statusFromWindowsError(error);
}

} // namespace

FileStatus replaceFile(const std::string& path, std::string_view contents) {
    return replaceOrCreate(path, contents, false);
}

namespace {

// The one byte an update locks: far past the end of any stored file, so that the lock, which
// Windows enforces on reads and writes of the range, stops nobody from reading the content.
constexpr DWORD updateLockOffsetHigh = 0x7FFFFFFF;

bool sameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// Whether the path still names the file the handle holds: another update's replace puts a new
// file in its place.
bool pathNamesFile(const std::wstring& path, const BY_HANDLE_FILE_INFORMATION& held) {
    FileHandle now(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    return now.valid() && GetFileInformationByHandle(now.get(), &info) && sameFile(info, held);
}

DWORD lockForUpdate(HANDLE file) {
    const ULONGLONG giveUp = GetTickCount64() + updateLockPatienceMs;
    for (;;) {
        OVERLAPPED at{};
        at.Offset = 0;
        at.OffsetHigh = updateLockOffsetHigh;
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            return 0;
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION || GetTickCount64() >= giveUp)
            return error;
        Sleep(10);
    }
}

} // namespace

// The lock is a byte range of the file itself, held through a handle that lets every other
// program read, write and delete it, so that the replace under the lock may put a new file in
// its place. A lock won on a file that was replaced meanwhile is worth nothing: the update then
// starts again on the new one.
FileStatus updateFile(const std::string& path, const FileChange& change) {
    const std::wstring target = wideFromUtf8(path);
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        FileHandle file(CreateFileW(target.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            // A missing folder on the way is made with the file, as a first save makes it.
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
                return statusFromWindowsError(error);
            const std::optional<std::string> made = change(std::nullopt);
            if (!made)
                return {};
            const FileStatus status = replaceOrCreate(path, *made, true);
            if (status.platformCode == ERROR_ALREADY_EXISTS ||
                status.platformCode == ERROR_FILE_EXISTS)
                continue; // another update made it meanwhile: this one starts from that
            return status;
        }
        if (GetFileType(file.get()) != FILE_TYPE_DISK)
            return statusFromWindowsError(ERROR_ACCESS_DENIED);
        BY_HANDLE_FILE_INFORMATION held{};
        if (!GetFileInformationByHandle(file.get(), &held))
            return statusFromWindowsError(GetLastError());
        if (const DWORD error = lockForUpdate(file.get()); error != 0)
            return statusFromWindowsError(error == ERROR_LOCK_VIOLATION ? ERROR_SHARING_VIOLATION
                                                                        : error);
        if (!pathNamesFile(target, held))
            continue;
        std::string current;
        if (const FileStatus read = readFile(path, current); !read.ok())
            return read;
        const std::optional<std::string> next = change(current);
        if (!next)
            return {};
        // The lock goes with the handle, after the replace.
        return replaceOrCreate(path, *next, false);
    }
    return statusFromWindowsError(ERROR_SHARING_VIOLATION);
}

FileStamp stampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wideFromUtf8(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    const auto join = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    return {true, join(data.nFileSizeHigh, data.nFileSizeLow),
            static_cast<std::int64_t>(
                join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)),
            0};
}

bool exists(const std::string& path) {
    return GetFileAttributesW(wideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool folderWritable(const std::string& folder) {
    std::wstring stem = wideFromUtf8(folder);
    if (!stem.empty() && !isSeparator(stem.back()) && stem.back() != L':')
        stem += L'\\';
    stem += L"dravix-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    // Only creating a file answers this: the folder's security descriptor, inherited rights,
    // a read-only share or medium and the controlled folder access of Windows Security all have
    // their say. The file needs no cleaning up; it goes when its one handle closes.
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const std::wstring probe = stem + std::to_wstring(attempt) + L".tmp";
        FileHandle file(CreateFileW(
            probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file.valid())
            return true;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

std::string userSettingsFolder() {
    std::wstring base;
    PWSTR known = nullptr;
    // KF_FLAG_DONT_VERIFY: the folder is named even when it does not exist yet.
    if (SUCCEEDED(
            SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &known)))
        base = known;
    CoTaskMemFree(known);
    if (base.empty()) {
        std::wstring variable(32768, L'\0');
        const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", variable.data(),
                                                     static_cast<DWORD>(variable.size()));
        if (length > 0 && length < variable.size())
            base.assign(variable.data(), length);
    }
    if (base.empty())
        return {};
    if (!isSeparator(base.back()))
        base += L'\\';
    return utf8FromWide(base) + "Dravix\\";
}

} // namespace dravix::win32
