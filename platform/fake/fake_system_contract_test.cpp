#include "platform/fake/fake_system.h"
#include "tests/support/system_port_contract.h"

namespace dravix::contract {
namespace {

// The fake's disk holds files by path, nothing else, and it starts nothing.
class FakeBench {
public:
    static std::optional<std::string> exempt(Promise promise) {
        switch (promise) {
        case Promise::readOnlyRefused:
            return "the fake keeps permissions per folder only (makeFolderReadOnly)";
        case Promise::linkSavedThrough:
        case Promise::folderRefused:
        case Promise::fifoRefused:
            return "the fake's disk holds regular files only";
        case Promise::launchReportsFailure:
            return "the fake's launch fails only when the test says so (failLaunchesWith)";
        default:
            return std::nullopt;
        }
    }

    SystemPort& port() { return system_; }
    std::string at(const std::string& name) const { return "/work/" + name; }
    FileStatus guarded(const std::function<FileStatus()>& step, bool = false) { return step(); }

    // A disk that fails under the write, as the fault injector stands for it.
    FileStatus replaceFailingPartWay(const std::string& path, std::string_view contents) {
        system_.setFaultInjector([](FileOperation operation, const std::string&) {
            return operation == FileOperation::replace ? FileStatus{FileFailure::other, 5}
                                                       : FileStatus{};
        });
        const FileStatus status = system_.replaceFile(path, contents);
        system_.setFaultInjector(nullptr);
        return status;
    }

    // The exempt promises need none of the rest.
    void makeReadOnly(const std::string&) {}
    void makeFolder(const std::string&) {}
    void makeFifo(const std::string&) {}
    void makeLink(const std::string&, const std::string&) {}
    std::vector<std::string> unstartableFiles() { return {}; }
    std::optional<std::string> launchFailure(const std::string&) { return std::nullopt; }

private:
    FakeSystem system_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SystemPortContract, FakeBench);

} // namespace
} // namespace dravix::contract
