#include "platform/fake/fake_system.h"

#include <functional>

namespace dravix {

FileStatus FakeSystem::injectedFault(FileOperation operation, const std::string& path) const {
    return faultInjector_ ? faultInjector_(operation, path) : FileStatus{};
}

FileStatus FakeSystem::readFile(const std::string& path, std::string& contents) {
    contents.clear();
    if (FileStatus fault = injectedFault(FileOperation::read, path); !fault.ok())
        return fault;
    auto found = files_.find(path);
    if (found == files_.end())
        return {FileFailure::notFound, 2};
    if (found->second.size() > maxStoredFileSize)
        return {FileFailure::tooLarge, 27};
    contents = found->second;
    return {};
}

// A folder (a path ending in its separator) is there while it holds a file.
bool FakeSystem::exists(const std::string& path) const {
    if (!path.empty() && path.back() == separator_) {
        const auto next = files_.lower_bound(path);
        return next != files_.end() && next->first.starts_with(path);
    }
    return files_.contains(path);
}

bool FakeSystem::folderWritable(const std::string& folder) const {
    return !readOnlyFolders_.contains(folder);
}

// The disk keeps its files by full path; a file written into a folder that does not exist yet
// stands for the folder being created with it.
FileStatus FakeSystem::replaceFile(const std::string& path, std::string_view contents) {
    if (FileStatus fault = injectedFault(FileOperation::replace, path); !fault.ok())
        return fault;
    const std::size_t cut = path.find_last_of(separator_);
    if (cut != std::string::npos && readOnlyFolders_.contains(path.substr(0, cut + 1)))
        return {FileFailure::accessDenied, 13};
    files_[path] = std::string(contents);
    return {};
}

FileStatus FakeSystem::updateFile(const std::string& path, const FileChange& change) {
    if (locked_.contains(path))
        return {FileFailure::inUse, 33};
    std::optional<std::string> current(std::in_place);
    if (const FileStatus read = readFile(path, *current); !read.ok()) {
        if (read.failure != FileFailure::notFound || files_.contains(path))
            return read;
        current.reset();
    }
    locked_.insert(path);
    const std::optional<std::string> next = change(current);
    const FileStatus status = next ? replaceFile(path, *next) : FileStatus{};
    locked_.erase(path);
    return status;
}

FileStamp FakeSystem::stampOf(const std::string& path) const {
    const auto found = files_.find(path);
    if (found == files_.end())
        return {};
    return {true, found->second.size(),
            static_cast<std::int64_t>(std::hash<std::string>{}(found->second)), 0};
}

LaunchOutcome FakeSystem::launch(const std::string& path, const std::string& workingFolder) {
    if (launchFailure_)
        return LaunchOutcome::failure(*launchFailure_);
    launches_.push_back({path, workingFolder});
    return {answerLater_ ? LaunchOutcome::State::pending : LaunchOutcome::State::started, {}};
}

void FakeSystem::setFaultInjector(
    std::function<FileStatus(FileOperation, const std::string&)> injector) {
    faultInjector_ = std::move(injector);
}

std::string FakeSystem::executableFolder() const {
    return executablePath_.substr(0, executablePath_.rfind(separator_) + 1);
}

std::string FakeSystem::fileInExecutableFolder(const std::string& name) const {
    auto found = files_.find(executableFolder() + name);
    return found == files_.end() ? std::string() : found->second;
}

void FakeSystem::putFileInExecutableFolder(const std::string& name, std::string contents) {
    files_[executableFolder() + name] = std::move(contents);
}

} // namespace dravix
