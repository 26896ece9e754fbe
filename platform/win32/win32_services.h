#pragma once

#include "platform/desktop.h"

#include <cstddef>
#include <string>
#include <string_view>

// The Windows services that need no window: files, the executable's path and the clock. Names
// and contents are bytes in the ANSI code page, passed to the A functions as they are.
namespace dravix::win32 {

// GetLastError codes 2, 3, 4 and 5 are the failures the user is told about by name; every other
// code is shown as a number.
FileStatus statusFromWindowsError(unsigned long code);

// Reads the whole file; others may read it meanwhile but not write it.
FileStatus readFile(const std::string& path, std::string& contents);

// Writes the whole content into a new file in the same folder, flushes it to the disk and puts
// it in place of path with ReplaceFileA (MoveFileExA when path does not exist yet). On any
// failure path keeps its old content and the new file is removed.
FileStatus replaceFile(const std::string& path, std::string_view contents);

// The running executable's full path, from GetModuleFileNameA. The buffer starts at
// initialCapacity characters and doubles until the whole path fits.
std::string executablePath(std::size_t initialCapacity = 260);

// The millisecond part of the local time of day, 0 to 999.
int millisecondOfDay();

} // namespace dravix::win32
