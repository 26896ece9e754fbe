#pragma once

#include "platform/desktop.h"

#include <cstddef>
#include <string>
#include <string_view>

// The Windows services that need no window: files, the executable's path and the clock. Names are
// UTF-8, handed to the W functions as UTF-16 (win32_text.h), whatever the ANSI code page is.
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

} // namespace dravix::win32
