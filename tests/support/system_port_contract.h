#pragma once

// The promises every system port makes (platform/system_port.h), written once and run against
// each port through a bench of its own:
//
//   class Bench {
//   public:
//       // The promises this port does not keep, each with the reason: the one place that says so.
//       static std::optional<std::string> exempt(Promise promise);
//       SystemPort& port();
//       std::string at(const std::string& name) const; // in a fresh, empty folder of the test's
//       // Runs a step of the port so that a step that blocks fails instead of hanging the test,
//       // as a user without special rights when ordinaryUser (the tests may run as root).
//       FileStatus guarded(std::function<FileStatus()> step, bool ordinaryUser = false);
//       FileStatus replaceFailingPartWay(const std::string& path, std::string_view contents);
//       void makeReadOnly(const std::string& path);  // and hands it to the ordinary user
//       void makeFolder(const std::string& path);
//       void makeFifo(const std::string& path);
//       void makeLink(const std::string& link, const std::string& target);
//       std::vector<std::string> unstartableFiles();  // files there that the port cannot start
//       // The reason launch gives at once ("File not found" for notFound), or reports later
//       // within seconds; nothing when it started.
//       std::optional<std::string> launchFailure(const std::string& path);
//   };
//
//   INSTANTIATE_TYPED_TEST_SUITE_P(Fake, SystemPortContract, FakeBench);

#include "platform/system_port.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravix::contract {

enum class Promise {
    failedReplaceKeepsOld,
    readOnlyRefused,
    linkSavedThrough,
    sizeLimit,
    folderRefused,
    fifoRefused,
    settingsFolder,
    launchReportsFailure,
    updateUnderLock,
};

template <typename Bench> class SystemPortContract : public ::testing::Test {
protected:
    // The file's content as the port reads it, or the failure's name.
    std::string contentOf(const std::string& path) {
        std::string contents;
        const FileStatus status = bench.port().readFile(path, contents);
        return status.ok() ? contents : "(failure " + std::to_string(int(status.failure)) + ")";
    }

    Bench bench;
};

TYPED_TEST_SUITE_P(SystemPortContract);

#define DRAVIX_UNLESS_EXEMPT(promise)                                                              \
    if (const std::optional<std::string> why = TypeParam::exempt(promise))                         \
    GTEST_SKIP() << *why

TYPED_TEST_P(SystemPortContract, AFailedReplaceLeavesTheOldContent) {
    DRAVIX_UNLESS_EXEMPT(Promise::failedReplaceKeepsOld);
    const std::string path = this->bench.at("dravix.dat");
    ASSERT_TRUE(this->bench.port().replaceFile(path, "old\r\n").ok());
    const FileStatus status = this->bench.replaceFailingPartWay(path, std::string(100, 'n'));
    EXPECT_FALSE(status.ok());
    EXPECT_EQ(this->contentOf(path), "old\r\n");
}

TYPED_TEST_P(SystemPortContract, AReadOnlyFileIsRefusedAndUntouched) {
    DRAVIX_UNLESS_EXEMPT(Promise::readOnlyRefused);
    const std::string path = this->bench.at("dravix.ini");
    ASSERT_TRUE(this->bench.port().replaceFile(path, "100\r\n200\r\n").ok());
    this->bench.makeReadOnly(path);
    const FileStatus status = this->bench.guarded(
        [&] { return this->bench.port().replaceFile(path, "1\r\n2\r\n"); }, true);
    EXPECT_EQ(status.failure, FileFailure::accessDenied) << "code " << status.platformCode;
    EXPECT_EQ(this->contentOf(path), "100\r\n200\r\n");
}

TYPED_TEST_P(SystemPortContract, ASymbolicLinkIsSavedThroughAndStays) {
    DRAVIX_UNLESS_EXEMPT(Promise::linkSavedThrough);
    const std::string target = this->bench.at("target.dat");
    const std::string link = this->bench.at("link.dat");
    ASSERT_TRUE(this->bench.port().replaceFile(target, "old").ok());
    this->bench.makeLink(link, target);
    ASSERT_TRUE(this->bench.port().replaceFile(link, "through").ok());
    EXPECT_EQ(this->contentOf(target), "through");
    // Still a link: what the target holds next is what the link reads.
    ASSERT_TRUE(this->bench.port().replaceFile(target, "again").ok());
    EXPECT_EQ(this->contentOf(link), "again");
}

TYPED_TEST_P(SystemPortContract, OneMebibyteIsTheLimit) {
    DRAVIX_UNLESS_EXEMPT(Promise::sizeLimit);
    constexpr std::size_t mebibyte = 1024 * 1024;
    const std::string path = this->bench.at("dravix.dat");
    ASSERT_TRUE(this->bench.port().replaceFile(path, std::string(mebibyte, 'x')).ok());
    std::string contents;
    EXPECT_TRUE(this->bench.port().readFile(path, contents).ok());
    EXPECT_EQ(contents.size(), mebibyte);

    ASSERT_TRUE(this->bench.port().replaceFile(path, std::string(mebibyte + 1, 'x')).ok());
    contents = "left over";
    EXPECT_EQ(this->bench.port().readFile(path, contents).failure, FileFailure::tooLarge);
    EXPECT_EQ(contents, "");
}

// Reading and replacing both refuse what is no regular file, without waiting on it, and leave it.
template <typename Bench> void expectRefusedAndKept(Bench& bench, const std::string& path) {
    std::string contents;
    const FileStatus read = bench.guarded([&] { return bench.port().readFile(path, contents); });
    EXPECT_EQ(read.failure, FileFailure::accessDenied) << "code " << read.platformCode;
    const FileStatus replaced = bench.guarded([&] { return bench.port().replaceFile(path, "x"); });
    EXPECT_EQ(replaced.failure, FileFailure::accessDenied) << "code " << replaced.platformCode;
    // Not guarded, so that the flag is seen: the update looks before it opens anything.
    bool changed = false;
    const FileStatus updated =
        bench.port().updateFile(path, [&](const std::optional<std::string>&) {
            changed = true;
            return std::optional<std::string>("x");
        });
    EXPECT_EQ(updated.failure, FileFailure::accessDenied) << "code " << updated.platformCode;
    EXPECT_FALSE(changed) << "an update asked for the new content of what it could not read";
    EXPECT_TRUE(bench.port().exists(path));
    EXPECT_EQ(bench.port().readFile(path, contents).failure, FileFailure::accessDenied)
        << "it was replaced by a file";
}

TYPED_TEST_P(SystemPortContract, AFolderIsRefusedWithoutBlocking) {
    DRAVIX_UNLESS_EXEMPT(Promise::folderRefused);
    const std::string path = this->bench.at("folder.dat");
    this->bench.makeFolder(path);
    expectRefusedAndKept(this->bench, path);
}

TYPED_TEST_P(SystemPortContract, AFifoIsRefusedWithoutBlocking) {
    DRAVIX_UNLESS_EXEMPT(Promise::fifoRefused);
    const std::string path = this->bench.at("fifo.dat");
    this->bench.makeFifo(path);
    expectRefusedAndKept(this->bench, path);
}

TYPED_TEST_P(SystemPortContract, TheSettingsFolderEndsInASeparator) {
    DRAVIX_UNLESS_EXEMPT(Promise::settingsFolder);
    const std::string folder = this->bench.port().userSettingsFolder();
    ASSERT_GT(folder.size(), 1u);
    EXPECT_EQ(folder.back(), this->bench.port().pathSeparator()) << folder;
}

// Whenever the answer comes, it comes, and in words: no raw insert of a system message.
TYPED_TEST_P(SystemPortContract, AFileThatCannotStartIsReportedByLaunch) {
    DRAVIX_UNLESS_EXEMPT(Promise::launchReportsFailure);
    const std::vector<std::string> paths = this->bench.unstartableFiles();
    ASSERT_FALSE(paths.empty());
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const std::optional<std::string> reason = this->bench.launchFailure(path);
        ASSERT_TRUE(reason.has_value()) << "reported as started";
        EXPECT_FALSE(reason->empty());
        EXPECT_EQ(reason->find("%1"), std::string::npos) << *reason;
    }
}

// An update starts from what is on disk; a missing file is made; an update of a file another
// update holds waits and then gives inUse, the holder's change landing whole.
TYPED_TEST_P(SystemPortContract, AnUpdateChangesWhatIsOnDiskUnderALock) {
    DRAVIX_UNLESS_EXEMPT(Promise::updateUnderLock);
    SystemPort& port = this->bench.port();
    const std::string path = this->bench.at("dravix.dat");
    const auto append = [](const char* text) {
        return [text](const std::optional<std::string>& current) {
            return std::optional<std::string>(current.value_or("(missing)") + text);
        };
    };
    ASSERT_TRUE(port.updateFile(path, append("a")).ok());
    EXPECT_EQ(this->contentOf(path), "(missing)a");
    const FileStamp before = port.stampOf(path);
    EXPECT_TRUE(before.exists);
    EXPECT_EQ(before.size, 10u);
    ASSERT_TRUE(port.updateFile(path,
                                [](const std::optional<std::string>&) {
                                    return std::optional<std::string>();
                                })
                    .ok());
    EXPECT_EQ(port.stampOf(path), before) << "an update that changes nothing writes nothing";

    FileStatus inner;
    ASSERT_TRUE(port.updateFile(path,
                                [&](const std::optional<std::string>& current) {
                                    inner = this->bench.guarded(
                                        [&] { return port.updateFile(path, append("c")); });
                                    return std::optional<std::string>(*current + "b");
                                })
                    .ok());
    EXPECT_EQ(inner.failure, FileFailure::inUse) << "code " << inner.platformCode;
    EXPECT_EQ(this->contentOf(path), "(missing)ab");
    EXPECT_NE(port.stampOf(path), before);
    EXPECT_FALSE(port.stampOf(this->bench.at("missing.dat")).exists);
}

REGISTER_TYPED_TEST_SUITE_P(SystemPortContract, AFailedReplaceLeavesTheOldContent,
                            AReadOnlyFileIsRefusedAndUntouched, ASymbolicLinkIsSavedThroughAndStays,
                            OneMebibyteIsTheLimit, AFolderIsRefusedWithoutBlocking,
                            AFifoIsRefusedWithoutBlocking, TheSettingsFolderEndsInASeparator,
                            AFileThatCannotStartIsReportedByLaunch,
                            AnUpdateChangesWhatIsOnDiskUnderALock);

#undef DRAVIX_UNLESS_EXEMPT

} // namespace dravix::contract
