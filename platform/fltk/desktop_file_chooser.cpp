#include "platform/fltk/desktop_file_chooser.h"

#include <FL/Fl.H>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

extern char** environ;

namespace dravix::fltk {

namespace {

// A file list with room for long names and a dozen rows, and the margin kept to the work area's
// edges for the dialog's frame.
constexpr int comfortableWidth = 760;
constexpr int comfortableHeight = 540;
constexpr int chooserMargin = 24;

// How often the loop looks whether the chooser has ended once its output is closed.
constexpr double exitPollSeconds = 0.05;

bool namesKde(std::string_view currentDesktop) {
    while (!currentDesktop.empty()) {
        const std::size_t end = std::min(currentDesktop.find(':'), currentDesktop.size());
        if (currentDesktop.substr(0, end) == "KDE")
            return true;
        currentDesktop.remove_prefix(std::min(end + 1, currentDesktop.size()));
    }
    return false;
}

// What the chooser writes to its standard output, gathered while the event loop runs.
struct ChooserOutput {
    std::string text;
    bool open = true;
};

void readOutput(int descriptor, void* data) {
    auto& output = *static_cast<ChooserOutput*>(data);
    char buffer[4096];
    const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
    if (count > 0)
        output.text.append(buffer, static_cast<std::size_t>(count));
    else if (count == 0 || (errno != EINTR && errno != EAGAIN))
        output.open = false;
}

} // namespace

std::optional<ChooserProgram>
pickDesktopChooser(std::string_view currentDesktop,
                   const std::function<std::string(const char*)>& find) {
    if (namesKde(currentDesktop)) {
        if (std::string kdialog = find("kdialog"); !kdialog.empty())
            return ChooserProgram{ChooserKind::kdialog, std::move(kdialog)};
    }
    if (std::string zenity = find("zenity"); !zenity.empty())
        return ChooserProgram{ChooserKind::zenity, std::move(zenity)};
    return std::nullopt;
}

ChooserRoom chooserSize(ChooserRoom room) {
    return {std::clamp(room.width - 2 * chooserMargin, 1, comfortableWidth),
            std::clamp(room.height - 2 * chooserMargin, 1, comfortableHeight)};
}

std::vector<std::string> chooserCommand(const ChooserProgram& program, const std::string& title,
                                        const std::string& initialName, unsigned long xWindow,
                                        ChooserRoom room) {
    const std::string window = std::to_string(xWindow);
    const ChooserRoom size = chooserSize(room);
    const std::string width = std::to_string(size.width);
    const std::string height = std::to_string(size.height);
    if (program.kind == ChooserKind::zenity) {
        std::vector<std::string> command{program.path,       "--file-selection",
                                         "--title=" + title, "--attach=" + window,
                                         "--width=" + width, "--height=" + height};
        if (!initialName.empty())
            command.push_back("--filename=" + initialName);
        return command;
    }
    std::vector<std::string> command{program.path, "--title",           title, "--attach", window,
                                     "--geometry", width + "x" + height};
    command.push_back("--getopenfilename");
    // The initial name stands alone there, so one that starts with a dash must not pass for an
    // option; "--" is not understood after the command.
    if (!initialName.empty())
        command.push_back(initialName.front() == '-' ? "./" + initialName : initialName);
    return command;
}

ChooserResult runDesktopChooser(const std::vector<std::string>& command) {
    const ChooserResult failed{ChooserResult::Outcome::failed, {}};
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return failed;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    const int spawnError =
        posix_spawn(&child, command.front().c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    if (spawnError != 0) {
        ::close(pipe[0]);
        return failed;
    }

    // The loop runs as it does under a modal window: timers fire, windows redraw, and the input
    // meant for our windows arrives, for the caller to ignore.
    ChooserOutput output;
    Fl::add_fd(pipe[0], FL_READ, readOutput, &output);
    while (output.open)
        Fl::wait();
    Fl::remove_fd(pipe[0]);
    ::close(pipe[0]);
    int status = 0;
    pid_t ended = 0;
    while ((ended = ::waitpid(child, &status, WNOHANG)) == 0 || (ended < 0 && errno == EINTR))
        Fl::wait(exitPollSeconds);

    // Without the status (someone else reaped the child) the output alone tells.
    const bool exited = ended == child;
    if (exited && !(WIFEXITED(status) && WEXITSTATUS(status) <= 1))
        return failed;
    if (output.text.ends_with('\n'))
        output.text.pop_back();
    if ((exited && WEXITSTATUS(status) == 1) || output.text.empty())
        return {ChooserResult::Outcome::cancelled, {}};
    return {ChooserResult::Outcome::chosen, std::move(output.text)};
}

} // namespace dravix::fltk
