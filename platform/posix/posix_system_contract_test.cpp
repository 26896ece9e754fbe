#include "platform/posix/posix_services.h"
#include "tests/support/posix_child.h"
#include "tests/support/system_port_contract.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravix::contract {
namespace {

using testing::ordinaryUser;

// Every step that may block or must drop its rights runs in a forked child, which hands its
// status back through a pipe; its alarm turns a blocked step into {other, -2}.
class PosixBench {
public:
    static std::optional<std::string> exempt(Promise) { return std::nullopt; }

    PosixBench() {
        char pattern[] = "/var/tmp/dravix-contract-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            ADD_FAILURE() << "no test folder";
        folder_ = pattern;
    }
    ~PosixBench() {
        ::chmod(folder_.c_str(), 0700);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    SystemPort& port() { return system_; }
    std::string at(const std::string& name) const { return folder_ + "/" + name; }

    FileStatus guarded(const std::function<FileStatus()>& step, bool ordinaryUser = false) {
        return testing::statusFromChild([&] {
            ::alarm(10);
            if (ordinaryUser && !testing::becomeOrdinaryUser())
                return FileStatus{FileFailure::other, -3};
            return step();
        });
    }

    // Files may grow to 10 bytes only: the write stops there with EFBIG.
    FileStatus replaceFailingPartWay(const std::string& path, std::string_view contents) {
        return testing::statusFromChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{10, 10};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return FileStatus{FileFailure::other, -3};
            return system_.replaceFile(path, contents);
        });
    }

    void makeReadOnly(const std::string& path) {
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        if (::geteuid() != 0)
            return;
        ASSERT_EQ(::chown(folder_.c_str(), ordinaryUser, ordinaryUser), 0);
        ASSERT_EQ(::chown(path.c_str(), ordinaryUser, ordinaryUser), 0);
    }
    void makeFolder(const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0700), 0); }
    void makeFifo(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }
    void makeLink(const std::string& link, const std::string& target) {
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    }

    // A script whose interpreter is missing, a cut-off program, a dangling link and, where gio
    // is installed, a broken desktop entry, whose answer comes later.
    std::vector<std::string> unstartableFiles() {
        std::vector<std::string> paths;
        const auto write = [&](const std::string& name, const std::string& contents) {
            paths.push_back(at(name));
            std::ofstream(paths.back()) << contents;
            ::chmod(paths.back().c_str(), 0755);
        };
        write("orphan.sh", "#!/nonexistent/interp\n");
        write("cut-off", "\x7f"
                         "ELF\x02\x01\x01");
        paths.push_back(at("dangling"));
        makeLink(paths.back(), at("gone"));
        if (!posix::findOnSearchPath("gio").empty())
            write("broken.desktop", "garbage\n");
        return paths;
    }
    std::optional<std::string> launchFailure(const std::string& path) {
        const LaunchOutcome outcome = system_.launch(path, folder_ + "/");
        switch (outcome.state) {
        case LaunchOutcome::State::started:
            return std::nullopt;
        case LaunchOutcome::State::notFound:
            return "File not found";
        case LaunchOutcome::State::failed:
            return outcome.reason;
        case LaunchOutcome::State::pending:
            break;
        }
        if (!watched_)
            return "pending without a watch";
        pollfd readable{watched_->first, POLLIN, 0};
        if (::poll(&readable, 1, 10000) != 1)
            return std::nullopt;
        const auto answer = std::move(watched_->second);
        watched_.reset();
        return answer();
    }

private:
    std::string folder_;
    // The answer the port left pending, as a window's loop would wait for it.
    std::optional<std::pair<int, std::function<std::optional<std::string>()>>> watched_;
    posix::PosixSystem system_{
        [this](int descriptor, auto answer) { watched_.emplace(descriptor, std::move(answer)); }};
};

INSTANTIATE_TYPED_TEST_SUITE_P(Posix, SystemPortContract, PosixBench);

} // namespace
} // namespace dravix::contract
