// The system port of every POSIX backend.
//
//  [X] launch: a program directly, a desktop entry through gio, anything else through xdg-open;
//      a program fails at once or not at all; a desktop entry's answer (gio's status and message)
//      comes later through a descriptor the window's loop watches; a dangling link is not found,
//      a program for another machine and a script without its interpreter say so
//  [X] a document's answer (xdg-open's status and message) comes later the same way; xdg-open
//      still running after 1.5 s waits for the program it opened, which counts as started
//  [ ] the output that an application started from a desktop entry or by xdg-open writes on its
//      error output reaches ours through a small relay process that lives as long as the
//      application keeps it open; a file with the executable bit that turns out to be a document
//      goes to xdg-open unwatched
//  [X] stored files: only a regular file of at most 1 MiB is read, a FIFO or device refused at
//      once; a save goes through symbolic links, keeps mode, owner and extended attributes, leaves
//      no temporary behind (O_TMPFILE) and refuses a read-only file; settings under XDG_CONFIG_HOME
//  [X] an update reads and replaces a file under flock on the file itself, so two strips on one
//      folder lose nothing
//  [ ] a save keeps no hard links, and rewrites in place (not crash-safe) in a read-only folder

#pragma once

#include "platform/system_port.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>

// The system port of every POSIX backend: files, the executable's path, the clock and the
// launch, as free functions for the backend's own use and as PosixSystem for the core.
namespace dravix::posix {

// $XDG_CONFIG_HOME/dravix/ when that is an absolute path, else $HOME/.config/dravix/ (the home
// folder from the password database when HOME is unset).
std::string userSettingsFolder();

// The folder's real path, ending in "/": the nearest folder on the way that exists resolved
// (links, "." and ".."), the part not made yet appended as written. Every spelling of one folder,
// before it exists as after, thus gives one name. Relative names start from the working folder.
std::string realFolderName(const std::string& folder);

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

// Reads and replaces the file under flock on the file itself (SystemPort::updateFile). A missing
// file is linked into place only while the name is still free.
FileStatus updateFile(const std::string& path, const FileChange& change);

// Size, time of last write (ns) and inode of the file the path leads to.
FileStamp stampOf(const std::string& path);

// Maps an errno value from a failed step on path onto the user's categories.
FileStatus statusFromErrno(int errorNumber, const std::string& path);

// The first executable file called name in the absolute folders of PATH, or an empty string.
// Empty and relative entries are skipped: they name the current folder, and a program planted
// beside a document or in whatever folder we run in must never stand in for the real one.
std::string findOnSearchPath(const char* name);

// What a symbolic link names, however long; an empty string when it is no link.
std::string linkTarget(const char* link);

// The running executable's full path, from /proc/self/exe.
std::string executablePath();

int millisecondOfDay();

// A launch whose answer comes later: the descriptor turns readable once it is in.
struct PendingLaunch {
    int descriptor = -1;
    pid_t watcher = -1; // the child that waits for the helper, reaped by answerOf
    std::string path;
    std::string helper; // "gio" or "xdg-open", whose name its messages start with
};

// A desktop entry (a regular file named *.desktop) is started through `gio launch`, or xdg-open
// when gio is missing; any other executable regular file is started directly (a file with the
// executable bit that is neither a program nor a script goes to xdg-open as a document);
// anything else goes to xdg-open. Both helpers are taken from the absolute folders of PATH only.
// A helper's answer (its status and message) is learned as for gio.
// The child runs in workingFolder (when not empty and still there) in a session of its own, with
// no blocked signals and no descriptor of ours but the standard three. Only the exec is waited
// for, and for a desktop entry or a document the helper's own answer: with `later` that answer is
// left pending in it, else it is waited for. Fails with the system's reason, in words about the
// file ("This is not a program this computer can run", "Its interpreter /usr/bin/foo is not
// installed"), when a helper is missing or the path holds a NUL byte; a dangling link is notFound.
LaunchOutcome launch(const std::string& path, const std::string& workingFolder,
                     std::optional<PendingLaunch>* later = nullptr);

// Once the descriptor is readable: reads the answer, reaps the watcher and closes the descriptor.
// Nothing when the application started, else "path: reason" with gio's message.
std::optional<std::string> answerOf(PendingLaunch& pending);

// Asks the window's event loop to call `answer` once, on the UI thread, when the descriptor is
// readable, and to deliver what it returns: nothing as launchStarted, a reason as launchFailed.
using LaunchWatch =
    std::function<void(int descriptor, std::function<std::optional<std::string>()> answer)>;

// The functions above as the core's system port.
class PosixSystem final : public SystemPort {
public:
    // Without a watch, a desktop entry's answer is waited for.
    explicit PosixSystem(LaunchWatch watch = {}) : watch_(std::move(watch)) {}

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
    FileStatus updateFile(const std::string& path, const FileChange& change) override {
        return posix::updateFile(path, change);
    }
    FileStamp stampOf(const std::string& path) const override { return posix::stampOf(path); }
    LaunchOutcome launch(const std::string& path, const std::string& workingFolder) override {
        std::optional<PendingLaunch> later;
        const LaunchOutcome outcome = posix::launch(path, workingFolder, watch_ ? &later : nullptr);
        if (later)
            watch_(later->descriptor, [pending = *later]() mutable { return answerOf(pending); });
        return outcome;
    }
    int millisecondOfDay() const override { return posix::millisecondOfDay(); }

private:
    LaunchWatch watch_;
};

} // namespace dravix::posix
