#include "platform/posix/posix_services.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The launch stands in for the Windows shell's default verb: programs are started directly,
// desktop entries through GLib's launcher, and everything else is handed to the desktop's default
// handler, xdg-open. The child is never waited for: a double fork leaves it to init (or the
// session's subreaper), so no zombie remains, and setsid gives it a session of its own, so it
// keeps running when Dravix ends. Only the exec itself is waited for, through a close-on-exec
// pipe, so that a file that cannot be started says why.
namespace dravix::posix {

namespace {

constexpr const char* defaultHandler = "xdg-open";
// GLib's command line tool: `gio launch` honours a desktop entry's field codes, Path, Terminal
// and startup notification, which xdg-open leaves to whatever program it happens to pick.
constexpr const char* desktopEntryLauncher = "gio";
// The search path a shell uses when PATH is unset.
constexpr std::string_view fallbackSearchPath = "/usr/local/bin:/usr/bin:/bin";

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Whether the path leads to something once links are followed, unlike posix::exists.
bool existsFollowingLinks(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// A desktop entry often carries the executable bit (file managers set it to mark the entry as
// trusted), so the name decides, not the mode.
bool isDesktopEntry(const std::string& path) {
    struct stat info {};
    return path.ends_with(".desktop") && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The working folder is applied in the child before the program starts, so a relative path has
// to be fixed against our own folder first or it would be looked up in the wrong place.
std::string absoluteFrom(const std::string& path) {
    if (path.front() == '/')
        return path;
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return path;
        buffer.resize(buffer.size() * 2);
    }
    std::string folder(buffer.data());
    if (folder.back() != '/')
        folder += '/';
    return folder + path;
}

// The argument a handler gets: an existing file by its absolute path, anything else (a URL, a
// name that does not exist) as given, except that a leading dash is defused so the handler
// cannot read it as an option.
std::string handlerArgument(const std::string& path) {
    if (existsFollowingLinks(path))
        return absoluteFrom(path);
    if (path.front() != '-')
        return path;
    std::string defused = "./";
    defused += path;
    return defused;
}

// One program to run: the file to execute and its argument vector. The strings are owned here so
// that the child only reads memory prepared before the fork.
struct Command {
    std::string file;
    std::vector<std::string> arguments;
    std::vector<char*> argv;

    void seal() {
        argv.clear();
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
    }
    bool empty() const { return file.empty(); }
};

// Tells the caller why the start failed: the errno of the last step, whole or not at all (a
// write of fewer than PIPE_BUF bytes into a pipe is never split).
void reportFailure(int pipe, int errorNumber) {
    while (::write(pipe, &errorNumber, sizeof errorNumber) < 0 && errno == EINTR) {
    }
}

// Every descriptor from 3 up is closed but the report pipe, which closes itself on exec.
void closeInheritedDescriptors(int keep, int descriptorLimit) {
    const unsigned first = 3;
    const unsigned kept = static_cast<unsigned>(keep);
    const bool closed = kept < first ? ::close_range(first, ~0U, 0) == 0
                                     : (kept == first || ::close_range(first, kept - 1, 0) == 0) &&
                                           ::close_range(kept + 1, ~0U, 0) == 0;
    if (closed)
        return;
    // Kernels before 5.9 lack close_range; fall back to closing one by one.
    for (int fd = 3; fd < descriptorLimit; ++fd) {
        if (fd != keep)
            ::close(fd);
    }
}

// Runs in the grandchild between fork and exec: async-signal-safe calls only.
[[noreturn]] void becomeLaunchedProgram(const Command& direct, const Command& handler,
                                        const char* folder, int reportPipe, int descriptorLimit) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &defaultAction, nullptr); // fails harmlessly for KILL, STOP, RT gaps
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    // A folder that has vanished does not stop the start: the program then runs in Dravix's own
    // folder, as it would if no folder had been given.
    if (folder != nullptr)
        (void)::chdir(folder);

    closeInheritedDescriptors(reportPipe, descriptorLimit);

    if (!direct.empty()) {
        ::execve(direct.file.c_str(), direct.argv.data(), environ);
        // An executable bit without a program behind it (a document on a FAT or NTFS disk, where
        // every file looks executable) is a document: open it the way documents are opened.
        if (errno != ENOEXEC || handler.empty()) {
            reportFailure(reportPipe, errno);
            ::_exit(127);
        }
    }
    ::execve(handler.file.c_str(), handler.argv.data(), environ);
    reportFailure(reportPipe, errno);
    ::_exit(127);
}

// Reads the report pipe until every writer has closed it: nothing means the exec succeeded.
std::optional<std::string> readReport(int pipe) {
    int errorNumber = 0;
    std::size_t received = 0;
    while (received < sizeof errorNumber) {
        const ssize_t count = ::read(pipe, reinterpret_cast<char*>(&errorNumber) + received,
                                     sizeof errorNumber - received);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        received += static_cast<std::size_t>(count);
    }
    if (received < sizeof errorNumber)
        return std::nullopt;
    return std::strerror(errorNumber);
}

} // namespace

std::string findOnSearchPath(const char* name) {
    const char* variable = std::getenv("PATH");
    const std::string_view folders =
        variable != nullptr && *variable != '\0' ? std::string_view(variable) : fallbackSearchPath;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string_view::npos)
            end = folders.size();
        const std::string_view folder = folders.substr(start, end - start);
        start = end + 1;
        if (!folder.starts_with('/'))
            continue;
        std::string candidate(folder);
        candidate += '/';
        candidate += name;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

std::optional<std::string> launch(const std::string& path, const std::string& workingFolder) {
    if (path.empty())
        return std::strerror(ENOENT);
    // c_str() would end the name at the byte and start some other file.
    if (path.find('\0') != std::string::npos)
        return "The path holds a NUL byte";
    if (workingFolder.find('\0') != std::string::npos)
        return "The working folder holds a NUL byte";

    const bool entry = isDesktopEntry(path);
    Command direct;
    if (!entry && isExecutableFile(path)) {
        direct.file = absoluteFrom(path);
        direct.arguments = {direct.file};
    }
    Command handler;
    if (entry)
        handler.file = findOnSearchPath(desktopEntryLauncher);
    if (!handler.empty()) {
        handler.arguments = {desktopEntryLauncher, "launch", handlerArgument(path)};
    } else {
        handler.file = findOnSearchPath(defaultHandler);
        handler.arguments = {defaultHandler, handlerArgument(path)};
    }
    if (direct.empty() && handler.empty())
        return "xdg-open is not installed";
    direct.seal();
    handler.seal();
    const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int descriptorLimit =
        openMax > 0 && openMax < 1 << 20 ? static_cast<int>(openMax) : 1 << 20;

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return std::strerror(errno);

    // Signals stay blocked across the fork so that none of our handlers runs in a child before
    // the child has reset them.
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::sigprocmask(SIG_SETMASK, &all, &previous);

    const pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        const pid_t program = ::fork();
        if (program == 0)
            becomeLaunchedProgram(direct, handler, folder, report[1], descriptorLimit);
        if (program < 0)
            reportFailure(report[1], errno);
        ::_exit(program < 0 ? 1 : 0);
    }
    const int forkError = errno;
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    ::close(report[1]);
    if (middle < 0) {
        ::close(report[0]);
        return std::strerror(forkError);
    }

    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    std::optional<std::string> reason = readReport(report[0]);
    ::close(report[0]);
    return reason;
}

} // namespace dravix::posix
