#pragma once

// An in-memory system for driving the core in tests, treated as a real port.
//   [X] files, in memory, with injectable failures     [X] launches, recorded
//   [X] clock, set by the test                         [X] failing launches, on request
//   [X] launches answered later, on request: the test delivers the answer as the window would
//   [X] folders the user may not write, on request
//   [ ] links, FIFOs, folders and permissions of single files: the disk holds files by path only
//       (a folder is there while it holds a file)
//   [X] updates under a lock, which an update of the same file from inside the change meets
//   [ ] a launch fails only when the test says so, never for what is (not) at the path

#include "platform/system_port.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace dravix {

struct LaunchRecord {
    std::string path;
    std::string workingFolder;
};

enum class FileOperation { read, replace };

class FakeSystem : public SystemPort {
public:
    std::string executablePath() const override { return executablePath_; }
    char pathSeparator() const override { return separator_; }
    std::string userSettingsFolder() const override { return "/home/me/.config/dravix/"; }
    bool exists(const std::string& path) const override;
    bool folderWritable(const std::string& folder) const override;
    FileStatus readFile(const std::string& path, std::string& contents) override;
    FileStatus replaceFile(const std::string& path, std::string_view contents) override;
    // A file being updated is locked: an update of it from inside the change fails with inUse at
    // once, as a real port's would after its patience.
    FileStatus updateFile(const std::string& path, const FileChange& change) override;
    // The content's hash stands for the time of the last write.
    FileStamp stampOf(const std::string& path) const override;

    LaunchOutcome launch(const std::string& path, const std::string& workingFolder) override;
    int millisecondOfDay() const override { return millisecond_; }

    // Set up by the test.
    void setExecutablePath(std::string path) { executablePath_ = std::move(path); }
    void setPathSeparator(char separator) { separator_ = separator; }
    // A folder (ending in its separator) in which the user may not create or replace files.
    void makeFolderReadOnly(std::string folder) { readOnlyFolders_.insert(std::move(folder)); }
    void setMillisecond(int millisecond) { millisecond_ = millisecond; }
    // Every launch from now on fails with this reason; nothing makes them start again.
    void failLaunchesWith(std::optional<std::string> reason) { launchFailure_ = std::move(reason); }
    // Every launch from now on is recorded and left pending, or no longer.
    void answerLaunchesLater(bool later) { answerLater_ = later; }
    // Called before every file operation; a failing status makes the operation fail without
    // touching the in-memory disk.
    void setFaultInjector(std::function<FileStatus(FileOperation, const std::string&)> injector);

    // The process ends: the disk and the test's settings stay, the records go.
    void startNewProcess() { launches_.clear(); }

    // The in-memory disk, by full path.
    std::map<std::string, std::string>& files() { return files_; }
    std::string fileInExecutableFolder(const std::string& name) const;
    void putFileInExecutableFolder(const std::string& name, std::string contents);

    // Records.
    const std::vector<LaunchRecord>& launches() const { return launches_; }

private:
    std::string executableFolder() const;
    FileStatus injectedFault(FileOperation operation, const std::string& path) const;

    std::vector<LaunchRecord> launches_;
    std::optional<std::string> launchFailure_;
    bool answerLater_ = false;
    std::map<std::string, std::string> files_;
    std::set<std::string> readOnlyFolders_;
    std::set<std::string> locked_;
    std::function<FileStatus(FileOperation, const std::string&)> faultInjector_;
    std::string executablePath_ = "/opt/dravix/dravix";
    char separator_ = '/';
    int millisecond_ = 1;
};

} // namespace dravix
