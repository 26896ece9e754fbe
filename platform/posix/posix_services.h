// The system port of every POSIX backend.
//
//  [X] launch: a program directly, a desktop entry through gio, anything else through xdg-open;
//      fails at once or not at all, so nothing is reported later
//  [X] stored files: only a regular file of at most 1 MiB is read, a FIFO or device refused at
//      once; a save goes through symbolic links, keeps mode, owner and extended attributes, leaves
//      no temporary behind (O_TMPFILE) and refuses a read-only file; settings under XDG_CONFIG_HOME
//  [ ] a save keeps no hard links, and rewrites in place (not crash-safe) in a read-only folder

#pragma once

#include "platform/system_port.h"

#include <optional>
#include <string>
#include <string_view>

// The system port of every POSIX backend: files, the executable's path, the clock and the
// launch, as free functions for the backend's own use and as PosixSystem for the core.
namespace dravix::posix {

// $XDG_CONFIG_HOME/dravix/ when that is an absolute path, else $HOME/.config/dravix/ (the home
// folder from the password database when HOME is unset).
std::string userSettingsFolder();

// Whether anything is at the path, a dangling symbolic link included.
bool exists(const std::string& path);

// Whether the process, with its effective ids, may create and remove entries in the folder.
bool folderWritable(const std::string& folder);

// Reads a regular file of at most maxStoredFileSize bytes. Anything else is refused without
// blocking and without reading more than one byte past the limit.
FileStatus readFile(const std::string& path, std::string& contents);

// Replaces the file whole. A symbolic link is followed and its final target replaced. Normally
// the content goes into a new file in the target's folder that takes over the old one's mode,
// owner and extended attributes and is renamed over it, so that a failure or a crash leaves the
// old content. When the folder takes no new file but the file may be written, it is rewritten
// in place instead. Missing folders on the way are created, user-only.
FileStatus replaceFile(const std::string& path, std::string_view contents);

// Maps an errno value from a failed step on path onto the user's categories.
FileStatus statusFromErrno(int errorNumber, const std::string& path);

// The first executable file called name in the absolute folders of PATH, or an empty string.
// Empty and relative entries are skipped: they name the current folder, and a program planted
// beside a document or in whatever folder we run in must never stand in for the real one.
std::string findOnSearchPath(const char* name);

// The running executable's full path, from /proc/self/exe.
std::string executablePath();

int millisecondOfDay();

// A desktop entry (a regular file named *.desktop) is started through `gio launch`, or xdg-open
// when gio is missing; any other executable regular file is started directly; anything else goes
// to xdg-open. Both helpers are taken from the absolute folders of PATH only. The child runs in
// workingFolder (when not empty and still there) in a session of its own, with no blocked
// signals and no descriptor of ours but the standard three. Only its exec is waited for: returns
// the system's reason when that fails ("Exec format error"), when a helper is missing or the path
// holds a NUL byte, else nothing.
std::optional<std::string> launch(const std::string& path, const std::string& workingFolder);

// The functions above as the core's system port.
class PosixSystem final : public SystemPort {
public:
    std::string executablePath() const override { return posix::executablePath(); }
    char pathSeparator() const override { return '/'; }
    std::string userSettingsFolder() const override { return posix::userSettingsFolder(); }
    bool exists(const std::string& path) const override { return posix::exists(path); }
    bool folderWritable(const std::string& folder) const override {
        return posix::folderWritable(folder);
    }
    FileStatus readFile(const std::string& path, std::string& contents) override {
        return posix::readFile(path, contents);
    }
    FileStatus replaceFile(const std::string& path, std::string_view contents) override {
        return posix::replaceFile(path, contents);
    }
    // Fails at once or not at all: nothing is reported later.
    std::optional<std::string> launch(const std::string& path,
                                      const std::string& workingFolder) override {
        return posix::launch(path, workingFolder);
    }
    int millisecondOfDay() const override { return posix::millisecondOfDay(); }
};

} // namespace dravix::posix
