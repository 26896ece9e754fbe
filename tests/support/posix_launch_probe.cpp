// A program for the launch tests that writes down how it was started: its arguments, working
// folder, session, blocked and ignored signals and open descriptors. The launch passes it no
// arguments, so it writes beside itself, to <its own path>.seen, which appears only once
// complete. It then lingers a while, as a started program does, without holding the test's
// output open.

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// The value of a "Name:\tvalue" line of /proc/self/status.
std::string statusField(const std::string& name) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name + ":"))
            return line.substr(line.find_first_not_of(" \t", name.size() + 1));
    }
    return "?";
}

std::string openDescriptors() {
    std::string list;
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr)
        return "?";
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || name == std::to_string(::dirfd(folder)))
            continue;
        list += list.empty() ? name : " " + name;
    }
    ::closedir(folder);
    return list;
}

} // namespace

int main(int argc, char** argv) {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    const std::string record = std::string(self, static_cast<std::size_t>(length)) + ".seen";

    std::ostringstream seen;
    char folder[PATH_MAX];
    seen << "cwd=" << (::getcwd(folder, sizeof folder) != nullptr ? folder : "?") << '\n';
    seen << "arguments=" << argc - 1 << '\n';
    seen << "arg0=" << (argc > 0 ? argv[0] : "") << '\n';
    seen << "arg1=" << (argc > 1 ? argv[1] : "") << '\n';
    seen << "session=" << ::getsid(0) << '\n';
    seen << "blocked=" << statusField("SigBlk") << '\n';
    seen << "ignored=" << statusField("SigIgn") << '\n';
    seen << "fds=" << openDescriptors() << '\n';

    const std::string partial = record + ".tmp";
    std::ofstream(partial) << seen.str();
    std::rename(partial.c_str(), record.c_str());

    // As xdg-open it ends at once, as xdg-open does once it has handed the file on: the launch
    // waits for its answer.
    if (argc > 0 && std::string_view(argv[0]) == "xdg-open")
        return 0;
    for (int fd = 0; fd < 3; ++fd)
        ::close(fd);
    const timespec linger{2, 0};
    ::nanosleep(&linger, nullptr);
    return 0;
}
