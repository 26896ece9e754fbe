#pragma once

#include "platform/desktop.h"

#include <string>
#include <string_view>

// The desktop services that any POSIX backend shares: files, the executable's path, the clock
// and the launch. Backends forward their Desktop calls here.
namespace dravix::posix {

FileStatus readFile(const std::string& path, std::string& contents);

// Writes the whole content into a new file in the same folder, flushes it to the disk and
// renames it over path. On any failure path keeps its old content and the new file is removed.
FileStatus replaceFile(const std::string& path, std::string_view contents);

// Maps an errno value from a failed open, read or write of path onto the user's categories.
FileStatus statusFromErrno(int errorNumber, const std::string& path);

// The running executable's full path, from /proc/self/exe.
std::string executablePath();

int millisecondOfDay();

// An executable regular file is started directly, anything else goes to xdg-open. The child
// runs in workingFolder (when not empty) in a session of its own, with no descriptor of ours
// but the standard three, and is never waited for; the call returns at once.
void launch(const std::string& path, const std::string& workingFolder);

} // namespace dravix::posix
