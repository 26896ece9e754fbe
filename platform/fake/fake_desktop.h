#pragma once

// An in-memory desktop for driving the core in tests, treated as a real backend.
//   [X] window geometry, recorded on every change      [X] frames, kept and countable
//   [X] error boxes, recorded                          [X] open-file dialog, scripted answers
//   [X] files, in memory, with injectable failures     [X] launches, recorded
//   [X] clock, set by the test                         [X] exit, recorded
//   [X] monitors and panels, set by the test           [X] window-manager moves, on request
//   [X] tips, the one shown kept                       [X] failing launches, on request
//   [X] tick grid, on request (passTime)             [ ] real timer: a test calls tick() itself

#include "platform/desktop.h"
#include "platform/monitors.h"

#include <deque>
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

class FakeDesktop : public Desktop {
public:
    FakeDesktop();

    void setGeometry(const WindowGeometry& geometry) override;
    WindowGeometry geometry() const override { return geometry_; }
    void present(const Frame& frame) override;
    ScreenRect workAreaNear(const ScreenRect& area) const override;
    int scale() const override { return scale_; }

    void showError(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& initialName) override;
    void showTip(const std::string& text, Place at) override { tip_ = Tip{text, at}; }
    void hideTip() override { tip_.reset(); }

    std::string executablePath() const override { return executablePath_; }
    char pathSeparator() const override { return separator_; }
    std::string userSettingsFolder() const override { return "/home/me/.config/dravix/"; }
    bool exists(const std::string& path) const override;
    bool folderWritable(const std::string& folder) const override;
    FileStatus readFile(const std::string& path, std::string& contents) override;
    FileStatus replaceFile(const std::string& path, std::string_view contents) override;

    std::optional<std::string> launch(const std::string& path,
                                      const std::string& workingFolder) override;
    int millisecondOfDay() const override { return millisecond_; }
    void setTicking(bool ticking) override { ticking_ = ticking; }
    void exitProcess(int status) override;

    // Set up by the test.
    void setExecutablePath(std::string path) { executablePath_ = std::move(path); }
    void setPathSeparator(char separator) { separator_ = separator; }
    // A folder (ending in its separator) in which the user may not create or replace files.
    void makeFolderReadOnly(std::string folder) { readOnlyFolders_.insert(std::move(folder)); }
    void setMillisecond(int millisecond) { millisecond_ = millisecond; }
    // Lets time pass on a clock that starts with the process, delivering a tick at each point
    // of the tick grid on the way while the program asks for the tick, or at every point when
    // tickAlways (a desktop that never lets the program sleep). The millisecond of the day
    // follows the clock.
    void passTime(WindowEvents& events, long long milliseconds, bool tickAlways = false);
    void setScale(int scale) { scale_ = scale; }
    // One 1280 x 1024 monitor without panels until a test says otherwise.
    void setMonitors(std::vector<Monitor> monitors) { monitors_ = std::move(monitors); }
    // The window manager moves the window on its own (a drag by the frame, say): no record.
    void moveByWindowManager(Place place);
    // Every launch from now on fails with this reason; nothing makes them start again.
    void failLaunchesWith(std::optional<std::string> reason) { launchFailure_ = std::move(reason); }
    // Each call of chooseFile takes the next answer; nothing means the user cancels.
    void queueDialogAnswer(std::optional<std::string> answer);
    // Called before every file operation; a failing status makes the operation fail without
    // touching the in-memory disk.
    void setFaultInjector(std::function<FileStatus(FileOperation, const std::string&)> injector);
    // Runs inside the error box or the dialog, standing in for the events that go on meanwhile.
    void setWhileModal(std::function<void()> whileModal) { whileModal_ = std::move(whileModal); }

    // The program ended and starts again: the disk and the test's settings stay, the window
    // and the records go.
    void startNewProcess();

    // The in-memory disk, by full path.
    std::map<std::string, std::string>& files() { return files_; }
    std::string fileInExecutableFolder(const std::string& name) const;
    void putFileInExecutableFolder(const std::string& name, std::string contents);

    // Records.
    const std::vector<WindowGeometry>& geometryChanges() const { return geometryChanges_; }
    const std::vector<std::string>& errors() const { return errors_; }
    const std::vector<std::string>& dialogInitialNames() const { return dialogInitialNames_; }
    const std::vector<LaunchRecord>& launches() const { return launches_; }
    struct Tip {
        std::string text;
        Place at;
    };
    const std::optional<Tip>& tip() const { return tip_; }
    const std::optional<int>& exitStatus() const { return exitStatus_; }
    bool ticking() const { return ticking_; } // what the program last asked for
    const Frame& lastFrame() const { return lastFrame_; }
    int frameCount() const { return frameCount_; }

    // Writes the last frame as a BMP, for a person to look at when a test fails.
    void dumpLastFrame(const std::string& path) const;

private:
    std::string executableFolder() const;
    FileStatus injectedFault(FileOperation operation, const std::string& path) const;
    void runWhileModal();

    WindowGeometry geometry_;
    std::vector<Monitor> monitors_{{{0, 0, 1280, 1024}, {0, 0, 1280, 1024}}};
    std::vector<WindowGeometry> geometryChanges_;
    Frame lastFrame_;
    int frameCount_ = 0;
    std::vector<std::string> errors_;
    std::deque<std::optional<std::string>> dialogAnswers_;
    std::vector<std::string> dialogInitialNames_;
    std::vector<LaunchRecord> launches_;
    std::optional<std::string> launchFailure_;
    std::optional<Tip> tip_;
    std::optional<int> exitStatus_;
    std::map<std::string, std::string> files_;
    std::set<std::string> readOnlyFolders_;
    std::function<FileStatus(FileOperation, const std::string&)> faultInjector_;
    std::function<void()> whileModal_;
    bool inModal_ = false;
    std::string executablePath_ = "/opt/dravix/dravix";
    char separator_ = '/';
    int millisecond_ = 1;
    long long elapsed_ = 0;     // milliseconds since the process started
    long long lastTickAt_ = -1; // on the same clock
    bool ticking_ = false;
    int scale_ = 1;
};

} // namespace dravix
