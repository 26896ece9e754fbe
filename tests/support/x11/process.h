#pragma once

// Starting and ending the programs a test drives (posix_spawn), and waiting on what they do.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravix::x11test {

using Milliseconds = std::chrono::milliseconds;

// Polls every 10 ms until condition() holds or the timeout passes; true when it held.
bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout);

// Where one of a child's standard streams goes: a file opened for it, or a descriptor. The
// descriptors are the child's as set up so far, so that errors can name 1 to follow the output.
struct StreamTarget {
    std::string path = "/dev/null";
    int descriptor = -1; // used instead of the path when set
    bool append = false; // an output file is otherwise emptied first
};

struct ProcessOptions {
    std::vector<std::string> argv;
    // The file to run; argv[0] when empty. A name without a slash is looked up on PATH.
    std::string executable;
    // NAME=value entries; the caller's environment when unset.
    std::optional<std::vector<std::string>> environment;
    // The working folder; the caller's when empty. The stream paths are the caller's.
    std::filesystem::path folder;
    StreamTarget input;
    StreamTarget output;
    StreamTarget errors;
    // A process group of its own, so that stop() ends the helpers it starts too.
    bool ownProcessGroup = false;
};

// The caller's environment with these variables set (added or replaced).
std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes);

// The process exit as waitpid reports it, told in words for failure messages.
std::string describeWaitStatus(int status);

// One started program. It gets no descriptor of the caller's beyond its three standard streams,
// so that the test's X connection and files stay the test's. The destructor stops it.
class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const ProcessOptions& options);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Just before the spawn: where a start-up time begins.
    std::chrono::steady_clock::time_point started() const { return started_; }

    // Its waitpid status once it has ended; nothing while it runs.
    std::optional<int> exitStatus();
    bool running() { return !exitStatus(); }
    std::optional<int> waitForExit(Milliseconds timeout);

    // SIGTERM first, so that a wrapping tool can write its report, then SIGKILL after the grace
    // period; returns once the process is gone. A process group goes as a whole.
    void stop(Milliseconds grace = Milliseconds(2000));

private:
    pid_t pid_ = -1;
    bool ownProcessGroup_ = false;
    std::chrono::steady_clock::time_point started_;
    std::optional<int> status_;
};

} // namespace dravix::x11test
