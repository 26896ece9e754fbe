#pragma once

#include "platform/system_port.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The Windows services that need no window: files, the executable's path, the clock and the
// launch, as free functions and as the core's system port Win32System. Names are UTF-8, handed to
// the W functions as UTF-16 (win32_text.h), whatever the ANSI code page is.
//
//  [X] launch through ShellExecuteExW on a short-lived thread of its own (COM in a
//      single-threaded apartment), so that a slow handler or an offline share never stops the
//      strip: default verb, the given working folder, SW_RESTORE, no system error boxes; every
//      launch is pending, and its answer is reported later: started once the shell has taken
//      it, or the system's text with its inserts (%1) filled with the path
//  [ ] a launch still under way when the strip exits is cut off with the process
//  [X] stored files read whole, at most 1 MiB and one byte (tooLarge beyond); anything but a
//      file on a disk (a folder, a device, a pipe) is access denied; a line that is not UTF-8 is
//      converted from the system's legacy ANSI code page
//  [X] a save goes to a temporary file beside the old one, which ReplaceFileW replaces, so a
//      failed save leaves the old file whole; it keeps the old file's attributes and security;
//      missing folders on the way are created; while another program holds the old file the
//      save is tried again for half a second; a read-only file or a folder in the way is access
//      denied and stays
//  [X] an update reads and replaces a file under LockFileEx on the file itself, so two strips
//      on one folder lose nothing; a file another program holds is refused, not written over
//  [X] user settings folder %LOCALAPPDATA%\Dravix\ (SHGetKnownFolderPath, else the
//      environment); a folder is writable when a probe file can be created in it
//  [ ] a symbolic link at a stored file's path is not looked through: what ReplaceFileW makes of
//      it is what happens (Wine cannot make one to try)
//  [ ] paths longer than MAX_PATH (260 characters): no \\?\ prefix, no longPathAware
namespace dravix::win32 {

// GetLastError codes 2, 3, 4 and 5 are the failures the user is told about by name; every other
// code is shown as a number.
FileStatus statusFromWindowsError(unsigned long code);

// Reads the whole file; others may read it meanwhile but not write it. Anything but a file on a
// disk (a folder, a device, a pipe) is accessDenied, a file over maxStoredFileSize tooLarge. A
// line that is not UTF-8 is single-byte text in the system's ANSI code page, as Notepad and most
// Windows programs write a plain text file, and is converted to UTF-8 (utf8FromStoredText);
// everything else arrives byte for byte.
FileStatus readFile(const std::string& path, std::string& contents);

// Writes the whole content into a new file in the same folder (creating missing folders on the
// way), flushes it to the disk and puts it in place of path with ReplaceFileW (MoveFileExW when
// path does not exist yet), trying again for half a second while another program holds the old
// file. A read-only file or a folder at path is accessDenied and stays. On any failure path
// keeps its old content and the new file is removed.
FileStatus replaceFile(const std::string& path, std::string_view contents);

// Reads and replaces the file under LockFileEx on one byte of the file itself, far past its end
// (SystemPort::updateFile). A missing file is moved into place only while the name is still free.
FileStatus updateFile(const std::string& path, const FileChange& change);

// Size and time of last write of the file (GetFileAttributesExW); no identity.
FileStamp stampOf(const std::string& path);

// Whether anything is at the path (GetFileAttributesW).
bool exists(const std::string& path);
// Whether a file can be created in the folder: a hidden temporary file is created there and
// deleted as it is closed. False for a folder that does not exist.
bool folderWritable(const std::string& folder);
// %LOCALAPPDATA%\Dravix\ (the known folder, else the environment's LOCALAPPDATA); empty when
// Windows names neither.
std::string userSettingsFolder();

// The running executable's full path, from GetModuleFileNameW. The buffer starts at
// initialCapacity characters and doubles until the whole path fits.
std::string executablePath(std::size_t initialCapacity = 260);

// The millisecond part of the local time of day, 0 to 999.
int millisecondOfDay();

// The text of a launch that failed: "path: text", or the text alone when its insert %1 names
// the path. Other inserts (%2 and on) are left out; FormatMessage leaves them raw.
std::string launchFailureText(const std::string& path, std::string_view systemText);

// Takes the answer to a launch that launch() left pending, on the launch's own thread: nothing
// when it started, else why not.
using LateLaunchOutcome = std::function<void(std::optional<std::string> failure)>;

class Win32System final : public SystemPort {
public:
    explicit Win32System(LateLaunchOutcome report);

    std::string executablePath() const override;
    char pathSeparator() const override { return '\\'; }
    std::string userSettingsFolder() const override;
    bool exists(const std::string& path) const override;
    bool folderWritable(const std::string& folder) const override;
    FileStatus readFile(const std::string& path, std::string& contents) override;
    FileStatus replaceFile(const std::string& path, std::string_view contents) override;
    FileStatus updateFile(const std::string& path, const FileChange& change) override;
    FileStamp stampOf(const std::string& path) const override;
    // Pending, unless no thread can be started; the start goes on in the background, and its
    // answer (launchFailureText for a failure) goes to the report.
    LaunchOutcome launch(const std::string& path, const std::string& workingFolder) override;
    int millisecondOfDay() const override;

private:
    LateLaunchOutcome report_;
};

} // namespace dravix::win32
