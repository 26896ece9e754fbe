#include "platform/posix/posix_services.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
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
//
// gio reads the entry only after its own exec, and says on its error output and in its status
// when it cannot start the application (no such program, a TryExec that fails, no terminal, a
// broken entry); xdg-open likewise when no application opens a document ("no method
// available", status 3). So for these the child in the middle stays: it waits for the helper,
// which returns once it has spawned (xdg-open, which may wait for what it opened, for a moment at
// most), and sends back its status and its message. The window learns the answer later, through
// the pipe, and is never blocked by it.
namespace dravix::posix {

namespace {

constexpr const char* defaultHandler = "xdg-open";
// GLib's command line tool: `gio launch` honours a desktop entry's field codes, Path, Terminal
// and startup notification, which xdg-open leaves to whatever program it happens to pick.
constexpr const char* desktopEntryLauncher = "gio";
// The search path a shell uses when PATH is unset.
constexpr std::string_view fallbackSearchPath = "/usr/local/bin:/usr/bin:/bin";

// gio's message is one or two lines; whatever comes beyond this is not shown.
constexpr std::size_t helperTextLimit = 2048;
// How often the watcher looks whether its helper has ended while the helper's output stays open.
constexpr int helperPollMilliseconds = 20;
// xdg-open may run the program it picks in the foreground and wait for it: still running after
// this long, it has started that program, and the launch counts as started.
constexpr int defaultHandlerPatienceMs = 1500;

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

// A symbolic link whose target is gone: there is nothing to start.
bool isDanglingLink(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) != 0 && errno == ENOENT &&
           ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// What the first bytes of an executable file say it is: a program for some machine, a script
// for the interpreter its "#!" line names, or neither (a document with the executable bit).
struct ProgramHead {
    bool machineCode = false;
    std::string interpreter; // for a script
    bool script() const { return !interpreter.empty(); }
};

ProgramHead programHeadOf(const std::string& path) {
    char bytes[256];
    ssize_t length = -1;
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (file >= 0) {
        length = ::read(file, bytes, sizeof bytes);
        ::close(file);
    }
    ProgramHead head;
    const std::string_view text(bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    head.machineCode = text.starts_with("\x7f"
                                        "ELF");
    if (text.starts_with("#!")) {
        const std::size_t start = text.find_first_not_of(" \t", 2);
        const std::size_t end = text.find_first_of(" \t\r\n", start);
        if (start != std::string_view::npos)
            head.interpreter = text.substr(start, end - start);
    }
    return head;
}

// The system's reason for a program that did not start, in words about the file the user chose:
// the file is there, so a missing file is the interpreter or the loader it needs.
std::string reasonFor(int errorNumber, const ProgramHead& head) {
    if (errorNumber == ENOEXEC || (errorNumber == ENOENT && head.machineCode))
        return "This is not a program this computer can run";
    if (errorNumber == ENOENT && head.script())
        return "Its interpreter " + head.interpreter + " is not installed";
    return std::strerror(errorNumber);
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
    // Given no buffer, getcwd makes one as long as the folder's name needs.
    char* const current = ::getcwd(nullptr, 0);
    if (current == nullptr)
        return path;
    std::string folder(current);
    std::free(current);
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
std::optional<int> readReport(int pipe) {
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
    return errorNumber;
}

// What the watcher sends back about gio, in one write of less than PIPE_BUF bytes, which a pipe
// never splits.
struct HelperReport {
    int execError = 0;  // errno of gio's failed exec, or 0
    int waitStatus = 0; // gio's status from waitpid
    unsigned textLength = 0;
    char text[helperTextLimit];
};
static_assert(sizeof(HelperReport) < PIPE_BUF);

// Keeps what fits of gio's output.
void keepText(HelperReport& report, const char* bytes, std::size_t count) {
    const std::size_t room = helperTextLimit - report.textLength;
    const std::size_t kept = count < room ? count : room;
    std::memcpy(report.text + report.textLength, bytes, kept);
    report.textLength += static_cast<unsigned>(kept);
}

// Passes what the started application writes on the error output gio gave it on to ours, until
// the last writer closes it; the application would be killed by SIGPIPE if no one read it.
[[noreturn]] void relayErrorOutput(int output) {
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::read(output, chunk, sizeof chunk);
        if (count == 0 || (count < 0 && errno != EINTR))
            ::_exit(0);
        if (count > 0)
            (void)::write(STDERR_FILENO, chunk, static_cast<std::size_t>(count));
    }
}

// The helper running under the watcher: its pid, its error output and the pipe its failed exec
// reports on.
struct WatchedHelper {
    pid_t pid = -1;
    int output = -1;
    int execReport = -1;
};

// Starts the helper with its error output on a pipe; in the watcher, async-signal-safe calls
// only. The pid is -1 and execError set when it could not be started.
WatchedHelper startHelper(const Command& helper, const char* folder, int descriptorLimit,
                          HelperReport& report) {
    WatchedHelper started;
    int output[2];
    int execReport[2];
    if (::pipe2(output, O_CLOEXEC) != 0 || ::pipe2(execReport, O_CLOEXEC) != 0) {
        report.execError = errno;
        return started;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(output[1], STDERR_FILENO);
        becomeLaunchedProgram(helper, Command{}, folder, execReport[1], descriptorLimit);
    }
    if (pid < 0)
        report.execError = errno;
    ::close(output[1]);
    ::close(execReport[1]);
    started.pid = pid;
    started.output = output[0];
    started.execReport = execReport[0];
    return started;
}

// Reads the helper's error output until it has ended (not until the pipe closes: the application
// it starts may keep it) and its status is in the report. False when the helper has not ended
// within patienceMs (0: no limit): it then waits for the program it opened, which has started.
bool awaitHelper(const WatchedHelper& helper, int patienceMs, HelperReport& report) {
    char chunk[512];
    bool ended = false;
    std::size_t readAfterEnd = 0;
    int waited = 0;
    for (;;) {
        if (!ended)
            ended = ::waitpid(helper.pid, &report.waitStatus, WNOHANG) == helper.pid;
        if (!ended && patienceMs > 0 && waited >= patienceMs)
            return false;
        pollfd readable{helper.output, POLLIN, 0};
        // Once the helper has ended, what it wrote is in the pipe: it is taken without waiting.
        if (::poll(&readable, 1, ended ? 0 : helperPollMilliseconds) <= 0) {
            waited += helperPollMilliseconds;
            if (ended)
                return true;
            continue;
        }
        const ssize_t count = ::read(helper.output, chunk, sizeof chunk);
        if (count > 0)
            keepText(report, chunk, static_cast<std::size_t>(count));
        if (count == 0 && !ended) {
            // No writer is left: it is ending, or it runs on without an error output.
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, helperPollMilliseconds);
            waited += helperPollMilliseconds;
            continue;
        }
        readAfterEnd += ended && count > 0 ? static_cast<std::size_t>(count) : 0;
        if (ended && (count <= 0 || readAfterEnd >= helperTextLimit))
            return true;
    }
}

// Runs in the child between Dravix and the helper (gio, xdg-open): async-signal-safe calls only,
// and every signal stays blocked, so a closed report pipe is EPIPE here, not the end. Starts the
// helper, awaits its answer, reports it and leaves a relay behind for the application's later
// output. A helper still running after patienceMs has started what it opened and is reported so.
[[noreturn]] void watchHelper(const Command& helper, const char* folder, int reportPipe,
                              int descriptorLimit, int patienceMs) {
    closeInheritedDescriptors(reportPipe, descriptorLimit);
    HelperReport report{};
    const WatchedHelper watched = startHelper(helper, folder, descriptorLimit, report);
    if (watched.pid < 0) {
        (void)::write(reportPipe, &report, sizeof report - helperTextLimit);
        ::_exit(1);
    }
    const bool ended = awaitHelper(watched, patienceMs, report);
    int execError = 0;
    if (::read(watched.execReport, &execError, sizeof execError) == sizeof execError)
        report.execError = execError;

    const bool started = !ended || (report.execError == 0 && WIFEXITED(report.waitStatus) &&
                                    WEXITSTATUS(report.waitStatus) == 0);
    if (started && report.textLength > 0)
        (void)::write(STDERR_FILENO, report.text, report.textLength);
    if (!ended)
        report = HelperReport{};
    if (::fork() == 0) {
        ::close(reportPipe);
        relayErrorOutput(watched.output);
    }
    (void)::write(reportPipe, &report, sizeof report - helperTextLimit + report.textLength);
    ::_exit(0);
}

// The helper's message without its name in front and without the line end, or its status in
// words.
std::string helperFailure(const HelperReport& report, const std::string& helper) {
    if (report.execError != 0)
        return std::strerror(report.execError);
    std::string_view text(report.text, report.textLength);
    while (!text.empty() && std::string_view(" \t\r\n").find(text.back()) != std::string::npos)
        text.remove_suffix(1);
    const std::string name = helper + ": ";
    if (text.starts_with(name))
        text.remove_prefix(name.size());
    if (!text.empty())
        return std::string(text);
    if (WIFSIGNALED(report.waitStatus))
        return helper + " was ended by signal " + std::to_string(WTERMSIG(report.waitStatus));
    return helper + " ended with status " + std::to_string(WEXITSTATUS(report.waitStatus));
}

// Reads the watcher's report once it is readable, reaps the watcher and closes the pipe: nothing
// when the helper started the application, else why not.
std::optional<std::string> helperAnswer(int descriptor, pid_t watcher, const std::string& helper) {
    HelperReport report{};
    std::size_t received = 0;
    char* bytes = reinterpret_cast<char*>(&report);
    while (received < sizeof report) {
        const ssize_t count = ::read(descriptor, bytes + received, sizeof report - received);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        received += static_cast<std::size_t>(count);
    }
    ::close(descriptor);
    int status = 0;
    while (::waitpid(watcher, &status, 0) < 0 && errno == EINTR) {
    }
    const std::size_t header = sizeof report - helperTextLimit;
    if (received < header)
        return helper + " gave no answer";
    report.textLength = static_cast<unsigned>(
        std::min<std::size_t>({report.textLength, received - header, helperTextLimit}));
    const bool started = report.execError == 0 && WIFEXITED(report.waitStatus) &&
                         WEXITSTATUS(report.waitStatus) == 0;
    if (started)
        return std::nullopt;
    return helperFailure(report, helper);
}

} // namespace

std::optional<std::string> answerOf(PendingLaunch& pending) {
    const std::optional<std::string> failure =
        helperAnswer(pending.descriptor, pending.watcher, pending.helper);
    pending.descriptor = -1;
    if (failure)
        return pending.path + ": " + *failure;
    return std::nullopt;
}

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

namespace {

// What a launch runs: a program directly, a helper (gio for a desktop entry, xdg-open for a
// document), or a program with xdg-open behind it for a file that only looks like one.
struct LaunchPlan {
    Command direct;
    Command handler;
    ProgramHead head;
    // The handler alone runs, under a watcher that learns its answer; its name for messages.
    std::string watchedHelper;
    int patienceMs = 0;
};

LaunchPlan chooseCommand(const std::string& path) {
    LaunchPlan plan;
    const bool entry = isDesktopEntry(path);
    if (!entry && isExecutableFile(path)) {
        plan.direct.file = absoluteFrom(path);
        plan.direct.arguments = {plan.direct.file};
        plan.head = programHeadOf(path);
    }
    if (entry)
        plan.handler.file = findOnSearchPath(desktopEntryLauncher);
    if (!plan.handler.empty()) {
        plan.handler.arguments = {desktopEntryLauncher, "launch", handlerArgument(path)};
        plan.watchedHelper = desktopEntryLauncher;
    } else if (!plan.head.machineCode && !plan.head.script()) {
        // A program that this computer cannot run is no document: xdg-open would fail silently.
        plan.handler.file = findOnSearchPath(defaultHandler);
        plan.handler.arguments = {defaultHandler, handlerArgument(path)};
        if (plan.direct.empty()) {
            plan.watchedHelper = defaultHandler;
            plan.patienceMs = defaultHandlerPatienceMs;
        }
    }
    plan.direct.seal();
    plan.handler.seal();
    return plan;
}

// Forks the middle child, in a session of its own, that starts the plan: under a watcher, or as
// a grandchild left to init. The middle child's pid, or the errno of the failed fork.
pid_t startCommand(const LaunchPlan& plan, const char* folder, int report[2], int& forkError) {
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    const int descriptorLimit =
        openMax > 0 && openMax < 1 << 20 ? static_cast<int>(openMax) : 1 << 20;
    // Signals stay blocked across the fork so that none of our handlers runs in a child before
    // the child has reset them.
    sigset_t all;
    sigset_t previous;
    ::sigfillset(&all);
    ::sigprocmask(SIG_SETMASK, &all, &previous);

    const pid_t middle = ::fork();
    if (middle == 0) {
        ::setsid();
        if (!plan.watchedHelper.empty())
            watchHelper(plan.handler, folder, report[1], descriptorLimit, plan.patienceMs);
        const pid_t program = ::fork();
        if (program == 0)
            becomeLaunchedProgram(plan.direct, plan.handler, folder, report[1], descriptorLimit);
        if (program < 0)
            reportFailure(report[1], errno);
        ::_exit(program < 0 ? 1 : 0);
    }
    forkError = errno;
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    ::close(report[1]);
    return middle;
}

// The answer of a started plan: a watched helper's later (pending) or now, an exec's now.
LaunchOutcome collectAnswer(const LaunchPlan& plan, const std::string& path, pid_t middle,
                            int report, std::optional<PendingLaunch>* later) {
    if (!plan.watchedHelper.empty()) {
        if (later != nullptr) {
            *later = PendingLaunch{report, middle, path, plan.watchedHelper};
            return {LaunchOutcome::State::pending, {}};
        }
        const std::optional<std::string> failure = helperAnswer(report, middle, plan.watchedHelper);
        return failure ? LaunchOutcome::failure(*failure) : LaunchOutcome{};
    }
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    const std::optional<int> errorNumber = readReport(report);
    ::close(report);
    if (errorNumber)
        return LaunchOutcome::failure(reasonFor(*errorNumber, plan.head));
    return {};
}

} // namespace

LaunchOutcome launch(const std::string& path, const std::string& workingFolder,
                     std::optional<PendingLaunch>* later) {
    if (path.empty())
        return LaunchOutcome::failure(std::strerror(ENOENT));
    // c_str() would end the name at the byte and start some other file.
    if (path.find('\0') != std::string::npos)
        return LaunchOutcome::failure("The path holds a NUL byte");
    if (workingFolder.find('\0') != std::string::npos)
        return LaunchOutcome::failure("The working folder holds a NUL byte");
    if (isDanglingLink(path))
        return {LaunchOutcome::State::notFound, {}};

    const LaunchPlan plan = chooseCommand(path);
    if (plan.direct.empty() && plan.handler.empty())
        return LaunchOutcome::failure("xdg-open is not installed");
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return LaunchOutcome::failure(std::strerror(errno));
    int forkError = 0;
    const pid_t middle = startCommand(plan, workingFolder.empty() ? nullptr : workingFolder.c_str(),
                                      report, forkError);
    if (middle < 0) {
        ::close(report[0]);
        return LaunchOutcome::failure(std::strerror(forkError));
    }
    return collectAnswer(plan, path, middle, report[0], later);
}

} // namespace dravix::posix
