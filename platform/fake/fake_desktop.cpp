#include "platform/fake/fake_desktop.h"

#include "platform/tick_grid.h"

#include "assets/bmp.h"

#include <fstream>
#include <stdexcept>

namespace dravix {

FakeDesktop::FakeDesktop() = default;

void FakeDesktop::setGeometry(const WindowGeometry& geometry) {
    geometry_ = geometry;
    geometryChanges_.push_back(geometry);
}

void FakeDesktop::moveByWindowManager(Place place) {
    geometry_.left = place.left;
    geometry_.top = place.top;
}

ScreenRect FakeDesktop::workAreaNear(const ScreenRect& area) const {
    return monitorFor(monitors_, area).workArea;
}

void FakeDesktop::present(const Frame& frame) {
    if (frame.width != geometry_.width || frame.height != geometry_.height)
        throw std::logic_error("a frame must match the window's size");
    lastFrame_ = frame;
    ++frameCount_;
}

void FakeDesktop::showError(const std::string& text) {
    errors_.push_back(text);
    runWhileModal();
}

std::optional<std::string> FakeDesktop::chooseFile(const std::string& initialName) {
    dialogInitialNames_.push_back(initialName);
    runWhileModal();
    if (dialogAnswers_.empty())
        return std::nullopt;
    std::optional<std::string> answer = std::move(dialogAnswers_.front());
    dialogAnswers_.pop_front();
    return answer;
}

void FakeDesktop::runWhileModal() {
    if (!whileModal_ || inModal_)
        return;
    inModal_ = true;
    whileModal_();
    inModal_ = false;
}

FileStatus FakeDesktop::injectedFault(FileOperation operation, const std::string& path) const {
    return faultInjector_ ? faultInjector_(operation, path) : FileStatus{};
}

FileStatus FakeDesktop::readFile(const std::string& path, std::string& contents) {
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

bool FakeDesktop::exists(const std::string& path) const {
    return files_.contains(path);
}

bool FakeDesktop::folderWritable(const std::string& folder) const {
    return !readOnlyFolders_.contains(folder);
}

// The disk keeps its files by full path; a file written into a folder that does not exist yet
// stands for the folder being created with it.
FileStatus FakeDesktop::replaceFile(const std::string& path, std::string_view contents) {
    if (FileStatus fault = injectedFault(FileOperation::replace, path); !fault.ok())
        return fault;
    const std::size_t cut = path.find_last_of(separator_);
    if (cut != std::string::npos && readOnlyFolders_.contains(path.substr(0, cut + 1)))
        return {FileFailure::accessDenied, 13};
    files_[path] = std::string(contents);
    return {};
}

std::optional<std::string> FakeDesktop::launch(const std::string& path,
                                               const std::string& workingFolder) {
    if (launchFailure_)
        return launchFailure_;
    launches_.push_back({path, workingFolder});
    return std::nullopt;
}

void FakeDesktop::exitProcess(int status) {
    if (exitStatus_)
        throw std::logic_error("the process has already ended");
    exitStatus_ = status;
}

void FakeDesktop::startNewProcess() {
    geometry_ = {};
    geometryChanges_.clear();
    lastFrame_ = {};
    frameCount_ = 0;
    errors_.clear();
    dialogAnswers_.clear();
    dialogInitialNames_.clear();
    launches_.clear();
    tip_.reset();
    exitStatus_.reset();
    elapsed_ = 0;
    lastTickAt_ = -1;
    ticking_ = false;
}

void FakeDesktop::passTime(WindowEvents& events, long long milliseconds, bool tickAlways) {
    const long long end = elapsed_ + milliseconds;
    while (ticking_ || tickAlways) {
        long long next = elapsed_ + millisecondsToNextTick(elapsed_);
        if (next == lastTickAt_)
            next += tickMilliseconds;
        if (next > end)
            break;
        elapsed_ = lastTickAt_ = next;
        millisecond_ = static_cast<int>(elapsed_ % 1000);
        events.tick();
    }
    elapsed_ = end;
    millisecond_ = static_cast<int>(elapsed_ % 1000);
}

void FakeDesktop::queueDialogAnswer(std::optional<std::string> answer) {
    dialogAnswers_.push_back(std::move(answer));
}

void FakeDesktop::setFaultInjector(
    std::function<FileStatus(FileOperation, const std::string&)> injector) {
    faultInjector_ = std::move(injector);
}

std::string FakeDesktop::executableFolder() const {
    return executablePath_.substr(0, executablePath_.rfind(separator_) + 1);
}

std::string FakeDesktop::fileInExecutableFolder(const std::string& name) const {
    auto found = files_.find(executableFolder() + name);
    return found == files_.end() ? std::string() : found->second;
}

void FakeDesktop::putFileInExecutableFolder(const std::string& name, std::string contents) {
    files_[executableFolder() + name] = std::move(contents);
}

void FakeDesktop::dumpLastFrame(const std::string& path) const {
    const std::vector<std::uint8_t> bmp =
        encodeBmp(lastFrame_.width, lastFrame_.height, lastFrame_.rgb);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

} // namespace dravix
