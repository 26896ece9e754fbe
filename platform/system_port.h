#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

// What the core asks of the system it runs on, apart from the window: the stored files, the
// executable's place, starting files and the clock. Every port keeps the promises below; one
// contract suite (tests/support/system_port_contract.h) checks them for each.
namespace dravix {

// Why a file step failed, in the categories the user is told about.
enum class FileFailure {
    none,
    notFound,
    pathNotFound,
    tooManyOpenFiles,
    accessDenied,
    tooLarge, // a stored file over maxStoredFileSize
    diskFull, // no space left on the disk, or the user's quota is used up
    inUse,    // another program holds the file open and does not let go
    other
};

// No stored file is larger: twenty lines of the longest paths stay under 100 KiB. A reader
// reads no more than this and one byte, so a huge or endless file costs no more than a small one.
inline constexpr std::size_t maxStoredFileSize = 1024 * 1024;

// What launch() knows when it returns.
struct LaunchOutcome {
    enum class State {
        started,  // the system has taken the file
        notFound, // nothing is at the path once links are followed (a dangling link)
        failed,   // reason says why, in the system's words
        pending,  // the port learns later whether it started, and reports it once
    };
    State state = State::started;
    std::string reason;

    static LaunchOutcome failure(std::string why) { return {State::failed, std::move(why)}; }
    friend bool operator==(const LaunchOutcome&, const LaunchOutcome&) = default;
};

struct FileStatus {
    FileFailure failure = FileFailure::none;
    int platformCode = 0; // the system's own error number, shown for FileFailure::other

    bool ok() const { return failure == FileFailure::none; }
};

// What is known of a file without reading it: a change of content by any writer changes it.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // the time of the last write, in the port's finest unit
    std::uint64_t identity = 0; // which file it is (an inode number), where the port knows it

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// What an update makes of a file: given its content (nothing when the file is missing), the new
// content, or nothing to leave the file as it is.
using FileChange =
    std::function<std::optional<std::string>(const std::optional<std::string>& current)>;

// An update waits this long for another update of the same file to end before it gives inUse.
inline constexpr int updateLockPatienceMs = 2000;

class SystemPort {
public:
    virtual ~SystemPort() = default;

    virtual std::string executablePath() const = 0;
    virtual char pathSeparator() const = 0;
    // The user's own folder for the program's settings ($XDG_CONFIG_HOME/dravix,
    // %LOCALAPPDATA%\Dravix), ending in a separator; it need not exist yet.
    virtual std::string userSettingsFolder() const = 0;
    // Whether anything (a file, a folder, a link) is at the path.
    virtual bool exists(const std::string& path) const = 0;
    // Whether the user may create a file in the folder.
    virtual bool folderWritable(const std::string& folder) const = 0;
    // Reads the whole file. Anything but a regular file (a folder, a FIFO, a device) gives
    // accessDenied without blocking; a file over maxStoredFileSize gives tooLarge.
    virtual FileStatus readFile(const std::string& path, std::string& contents) = 0;
    // Replaces the whole file so that a failure leaves the old content in place, byte for byte,
    // a full disk (diskFull) included. A file the user may not write gives accessDenied and stays
    // as it is; a symbolic link stays and its target is replaced; the file keeps its mode, owner,
    // group and extended attributes. Missing folders on the way are created.
    virtual FileStatus replaceFile(const std::string& path, std::string_view contents) = 0;
    // Reads the file and replaces it (as replaceFile does) with what change makes of it, under an
    // exclusive lock on the file that every other update of it, in any process, waits for; a
    // missing file is made only while it is still missing. So two updates never lose one
    // another's change. A file that is there but cannot be read (no read right, held by another
    // program, too large) is not changed: its read failure comes back and change is not called.
    // The lock locks nothing but other updates, and no file but the file itself is made for it.
    virtual FileStatus updateFile(const std::string& path, const FileChange& change) = 0;
    // The file's size, time of last write and identity, links followed; exists false when nothing
    // readable is there.
    virtual FileStamp stampOf(const std::string& path) const = 0;

    // Starts the file in workingFolder: a program directly, a desktop entry as its application,
    // anything else with the desktop's default handler; waits for nothing the started program
    // does. A file that cannot be started is failed with the system's reason ("Permission
    // denied"). A port that learns the answer only later returns pending and reports the answer
    // once, where it was told to when it was made; the window delivers it as launchStarted or
    // launchFailed.
    virtual LaunchOutcome launch(const std::string& path, const std::string& workingFolder) = 0;
    virtual int millisecondOfDay() const = 0; // 0 to 999
};

} // namespace dravix
