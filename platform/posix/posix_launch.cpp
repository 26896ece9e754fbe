#include "platform/posix/posix_services.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The launch stands in for the Windows shell's default verb: programs are started directly, and
// everything else is handed to the desktop's default handler, xdg-open. The child is never waited
// for: a double fork leaves it to init (or the session's subreaper), so no zombie remains, and
// setsid gives it a session of its own, so it keeps running when Dravix ends.
namespace dravix::posix {

namespace {

constexpr const char* defaultHandler = "xdg-open";
// The search path a shell uses when PATH is unset.
constexpr std::string_view fallbackSearchPath = "/usr/local/bin:/usr/bin:/bin";

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
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

// The first executable file called name in the folders of PATH, or an empty string.
std::string findOnSearchPath(const char* name) {
    const char* variable = std::getenv("PATH");
    const std::string_view folders =
        variable != nullptr && *variable != '\0' ? std::string_view(variable) : fallbackSearchPath;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string_view::npos)
            end = folders.size();
        // An empty entry means the current folder.
        std::string candidate(end > start ? folders.substr(start, end - start) : ".");
        candidate += '/';
        candidate += name;
        if (isExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

// The argument the default handler gets: an existing file by its absolute path, anything else
// (a URL, a name that does not exist) as given, except that a leading dash is defused so the
// handler cannot read it as an option.
std::string handlerArgument(const std::string& path) {
    if (exists(path))
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

// Runs in the grandchild between fork and exec: async-signal-safe calls only.
[[noreturn]] void becomeLaunchedProgram(const Command& direct, const Command& handler,
                                        const char* folder, int descriptorLimit) {
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

    if (::close_range(3, ~0U, 0) != 0) {
        // Kernels before 5.9 lack close_range; fall back to closing one by one.
        for (int fd = 3; fd < descriptorLimit; ++fd)
            ::close(fd);
    }

    if (!direct.empty()) {
        ::execve(direct.file.c_str(), direct.argv.data(), environ);
        // An executable bit without a program behind it (a document on a FAT or NTFS disk, where
        // every file looks executable) is a document: open it the way documents are opened.
        if (errno != ENOEXEC)
            ::_exit(127);
    }
    if (!handler.empty())
        ::execve(handler.file.c_str(), handler.argv.data(), environ);
    ::_exit(127);
}

} // namespace

void launch(const std::string& path, const std::string& workingFolder) {
    if (path.empty())
        return;

    Command direct;
    if (isExecutableFile(path)) {
        direct.file = absoluteFrom(path);
        direct.arguments = {direct.file};
        direct.seal();
    }
    Command handler;
    handler.file = findOnSearchPath(defaultHandler);
    if (!handler.file.empty()) {
        handler.arguments = {defaultHandler, handlerArgument(path)};
        handler.seal();
    }
    if (direct.empty() && handler.empty())
        return;
    const char* folder = workingFolder.empty() ? nullptr : workingFolder.c_str();
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
        const pid_t program = ::fork();
        if (program == 0)
            becomeLaunchedProgram(direct, handler, folder, descriptorLimit);
        ::_exit(program < 0 ? 1 : 0);
    }
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (middle < 0)
        return;

    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace dravix::posix
