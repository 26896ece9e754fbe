#include "tests/support/x11/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace dravix::x11test {

bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(Milliseconds(10));
    }
}

std::vector<std::string> environmentWith(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string_view entry = *variable;
        if (!changes.contains(std::string(entry.substr(0, entry.find('=')))))
            environment.emplace_back(entry);
    }
    for (const auto& [name, value] : changes)
        environment.push_back(name + "=" + value);
    return environment;
}

std::string describeWaitStatus(int status) {
    std::ostringstream text;
    if (WIFEXITED(status)) {
        text << "exited with status " << WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        text << "killed by signal " << WTERMSIG(status) << " (" << strsignal(WTERMSIG(status))
             << ")";
    } else {
        text << "wait status " << status;
    }
    return text.str();
}

namespace {

// Strings as the char* arrays that posix_spawn takes; the strings must outlive the array.
std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void redirect(posix_spawn_file_actions_t& actions, int target, const StreamTarget& stream,
              int flags) {
    if (stream.descriptor >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stream.descriptor, target);
        return;
    }
    if (flags != O_RDONLY)
        flags |= O_CREAT | (stream.append ? O_APPEND : O_TRUNC);
    posix_spawn_file_actions_addopen(&actions, target, stream.path.c_str(), flags, 0644);
}

} // namespace

ChildProcess::ChildProcess(const ProcessOptions& options)
    : ownProcessGroup_(options.ownProcessGroup) {
    if (options.argv.empty())
        throw std::invalid_argument("no program to start");
    std::vector<std::string> argvStrings = options.argv;
    std::vector<char*> argv = pointersTo(argvStrings);
    std::vector<std::string> environmentStrings;
    std::vector<char*> environment;
    if (options.environment) {
        environmentStrings = *options.environment;
        environment = pointersTo(environmentStrings);
    }
    const std::string file = options.executable.empty() ? options.argv[0] : options.executable;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    redirect(actions, 0, options.input, O_RDONLY);
    redirect(actions, 1, options.output, O_WRONLY);
    redirect(actions, 2, options.errors, O_WRONLY);
    if (!options.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (options.ownProcessGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }

    char** envp = options.environment ? environment.data() : environ;
    started_ = std::chrono::steady_clock::now();
    const int error =
        file.find('/') == std::string::npos
            ? ::posix_spawnp(&pid_, file.c_str(), &actions, &attributes, argv.data(), envp)
            : ::posix_spawn(&pid_, file.c_str(), &actions, &attributes, argv.data(), envp);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + file + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess() {
    stop();
}

std::optional<int> ChildProcess::exitStatus() {
    if (status_ || pid_ <= 0)
        return status_;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_)
        status_ = status;
    return status_;
}

std::optional<int> ChildProcess::waitForExit(Milliseconds timeout) {
    waitUntil([this] { return !running(); }, timeout);
    return status_;
}

void ChildProcess::stop(Milliseconds grace) {
    if (pid_ <= 0)
        return;
    const pid_t target = ownProcessGroup_ ? -pid_ : pid_;
    if (running()) {
        ::kill(target, SIGTERM);
        if (!waitForExit(grace)) {
            ::kill(target, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            status_ = status;
        }
    }
    // Helpers left in the group (a dock's daemons, say) go too.
    if (ownProcessGroup_)
        ::kill(target, SIGKILL);
}

} // namespace dravix::x11test
