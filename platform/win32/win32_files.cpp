#include "platform/win32/win32_services.h"

#include <windows.h>

#include <climits>
#include <utility>

namespace dravix::win32 {

namespace {

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

// Makes a file of a name no other file in the folder has, beside path, so that the final rename
// stays inside one volume. The process id keeps two running copies of the program apart.
FileHandle createTemporaryBeside(const std::string& path, std::string& temporary, DWORD& error) {
    const std::string stem = path + "." + std::to_string(GetCurrentProcessId()) + ".";
    constexpr int attempts = 100;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        temporary = stem + std::to_string(attempt) + ".tmp";
        FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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

// Windows reports every reason why ReplaceFileA could not remove the old file as
// ERROR_UNABLE_TO_REMOVE_REPLACED. Opening the old file for writing, as a plain save would,
// names the reason the user can act on: access denied for a read-only file, a sharing violation
// for one that another program holds open.
DWORD reasonTheOldFileStays(const std::string& path, DWORD replaceError) {
    FileHandle probe(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.valid() ? replaceError : GetLastError();
}

// Puts the finished temporary file in place of path. ReplaceFileA keeps the old file's
// attributes and security; it needs an existing target, so a first save moves the file instead.
DWORD moveIntoPlace(const std::string& temporary, const std::string& path) {
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (ReplaceFileA(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                         nullptr, nullptr))
            return 0;
        const DWORD error = GetLastError();
        if (error == ERROR_UNABLE_TO_REMOVE_REPLACED)
            return reasonTheOldFileStays(path, error);
        // The target vanished since it was looked at: then there is nothing to replace.
        if (error != ERROR_FILE_NOT_FOUND)
            return error;
    }
    if (MoveFileExA(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return GetLastError();
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
    default:
        return {FileFailure::other, platformCode};
    }
}

FileStatus readFile(const std::string& path, std::string& contents) {
    contents.clear();
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid())
        return statusFromWindowsError(GetLastError());

    // Read until the end rather than trusting the size, which may change under us.
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
            const DWORD error = GetLastError();
            contents.clear();
            return statusFromWindowsError(error);
        }
        if (got == 0)
            break;
        contents.append(chunk, got);
    }
    return {};
}

FileStatus replaceFile(const std::string& path, std::string_view contents) {
    std::string temporary;
    DWORD error = 0;
    FileHandle file = createTemporaryBeside(path, temporary, error);
    if (!file.valid())
        return statusFromWindowsError(error);

    error = writeAll(file.get(), contents);
    if (error == 0 && !FlushFileBuffers(file.get()))
        error = GetLastError();
    const DWORD closeError = file.closeNow();
    if (error == 0)
        error = closeError;
    if (error == 0)
        error = moveIntoPlace(temporary, path);
    if (error != 0) {
        DeleteFileA(temporary.c_str());
        return statusFromWindowsError(error);
    }
    return {};
}

} // namespace dravix::win32
