#include "platform/win32/win32_services.h"
#include "tests/support/system_port_contract.h"
#include "tests/support/win32_test_folder.h"

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>

namespace dravix::contract {
namespace {

using win32::testing::ExclusiveHold;
using win32::testing::TemporaryFolder;

class Win32Bench {
public:
    static std::optional<std::string> exempt(Promise promise) {
        switch (promise) {
        case Promise::linkSavedThrough:
            return "making a symbolic link takes a privilege (SeCreateSymbolicLinkPrivilege) that "
                   "a normal user lacks, and Wine makes none";
        case Promise::fifoRefused:
            return "Windows has no FIFO that lives in a folder";
        default:
            return std::nullopt;
        }
    }

    // The report outlives the bench: a launch thread may still report after the test.
    Win32Bench()
        : system_([reports = reports_](std::optional<std::string> failure) {
              const std::lock_guard<std::mutex> hold(reports->lock);
              reports->answered = true;
              reports->failure = std::move(failure);
              reports->arrived.notify_all();
          }) {}

    SystemPort& port() { return system_; }
    std::string at(const std::string& name) const { return folder_ / name; }
    // Windows refuses at once, and the read-only attribute binds every user.
    FileStatus guarded(const std::function<FileStatus()>& step, bool = false) { return step(); }

    // Another program holds the file open for longer than the save waits.
    FileStatus replaceFailingPartWay(const std::string& path, std::string_view contents) {
        ExclusiveHold hold(path);
        return system_.replaceFile(path, contents);
    }
    void makeReadOnly(const std::string& path) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    void makeFolder(const std::string& path) {
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    }
    void makeFifo(const std::string&) {}
    void makeLink(const std::string&, const std::string&) {}

    // A program that is not there, and a file with no program for its kind that the shell then
    // tries to run, whose message has an insert for the path.
    std::vector<std::string> unstartableFiles() {
        const std::string garbled = at("garbled.xyz");
        std::ofstream(garbled, std::ios::binary) << "not a program";
        return {at("missing.exe"), garbled};
    }
    // The shell's answer comes from the launch's thread whenever the shell has decided; Wine's
    // shell, busy with its first start or a loaded machine, has been seen to take over ten seconds.
    std::optional<std::string> launchFailure(const std::string& path) {
        {
            const std::lock_guard<std::mutex> hold(reports_->lock);
            reports_->answered = false;
        }
        const LaunchOutcome outcome = system_.launch(path, folder_.path());
        if (outcome.state != LaunchOutcome::State::pending)
            return outcome.state == LaunchOutcome::State::started
                       ? std::nullopt
                       : std::optional<std::string>(outcome.reason);
        std::unique_lock<std::mutex> hold(reports_->lock);
        if (!reports_->arrived.wait_for(hold, std::chrono::seconds(60),
                                        [&] { return reports_->answered; }))
            return std::nullopt;
        return reports_->failure;
    }

private:
    struct Reports {
        std::mutex lock;
        std::condition_variable arrived;
        bool answered = false;
        std::optional<std::string> failure;
    };
    TemporaryFolder folder_;
    std::shared_ptr<Reports> reports_ = std::make_shared<Reports>();
    win32::Win32System system_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, SystemPortContract, Win32Bench);

} // namespace
} // namespace dravix::contract
