#pragma once

// Test support: a fresh folder under the Windows temporary folder, and plain C runtime access to
// its files, independent of the functions under test.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

namespace dravix::win32::testing {

class TemporaryFolder {
public:
    TemporaryFolder() {
        char base[MAX_PATH + 1] = {};
        GetTempPathA(sizeof base, base);
        static int serial = 0;
        path_ = std::string(base) + "dravix-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        if (!CreateDirectoryA(path_.c_str(), nullptr))
            ADD_FAILURE() << "cannot create " << path_ << ": error " << GetLastError();
    }
    ~TemporaryFolder() { removeTree(path_); }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

    // The names in the folder, as FindFirstFileA spells them.
    std::set<std::string> names() const {
        std::set<std::string> found;
        WIN32_FIND_DATAA entry;
        const HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE)
            return found;
        do {
            const std::string name = entry.cFileName;
            if (name != "." && name != "..")
                found.insert(name);
        } while (FindNextFileA(search, &entry));
        FindClose(search);
        return found;
    }

private:
    // Wide names throughout, so that names beyond the ANSI code page go too.
    static void removeTree(const std::string& ansiFolder) {
        const int length = MultiByteToWideChar(CP_ACP, 0, ansiFolder.c_str(), -1, nullptr, 0);
        std::wstring folder(static_cast<std::size_t>(std::max(length, 1)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, ansiFolder.c_str(), -1, folder.data(), length);
        folder.resize(folder.size() - 1);
        removeTree(folder);
    }
    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW entry;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                const std::wstring path = folder + L"\\" + name;
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(search, &entry));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string path_;
};

// The files that a save of target left beside it: its temporary files are named after it. (Wine's
// ReplaceFileA leaves an empty file of its own, "rf" and a number, when it cannot move the old
// file aside; that one is not counted.)
inline std::set<std::string> temporaryFilesOf(const TemporaryFolder& folder,
                                              const std::string& target) {
    std::set<std::string> left;
    for (const std::string& name : folder.names()) {
        if (name != target && name.starts_with(target))
            left.insert(name);
    }
    return left;
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << "cannot write " << path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
}

inline std::optional<std::string> readBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    std::string bytes;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// Holds a file open as another program would, sharing nothing, until it goes out of scope.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {
        if (handle_ == INVALID_HANDLE_VALUE)
            ADD_FAILURE() << "cannot hold " << path << " open: error " << GetLastError();
    }
    ~ExclusiveHold() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    HANDLE handle_;
};

} // namespace dravix::win32::testing
