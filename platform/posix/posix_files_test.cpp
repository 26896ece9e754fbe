#include "platform/posix/posix_services.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravix::posix {
namespace {

// A fresh folder per test, removed with everything in it afterwards.
class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravix-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        ::chmod(folder_.c_str(), 0700);
        for (const std::string& name : listing())
            ::unlink((folder_ + "/" + name).c_str());
        ::rmdir(folder_.c_str());
    }

    std::string at(const std::string& name) const { return folder_ + "/" + name; }

    std::set<std::string> listing() const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(folder_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.insert(name);
            }
            ::closedir(dir);
        }
        return names;
    }

    std::string contentOf(const std::string& name) const {
        std::string contents;
        EXPECT_TRUE(readFile(at(name), contents).ok());
        return contents;
    }

    mode_t modeOf(const std::string& name) const {
        struct stat info {};
        EXPECT_EQ(::stat(at(name).c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    std::string folder_;
};

// Runs step in a forked child and hands its FileStatus back through a pipe.
template <typename Step> FileStatus statusFromChild(Step step) {
    int channel[2];
    if (::pipe(channel) != 0)
        return {FileFailure::other, -1};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        const FileStatus status = step();
        const bool sent = ::write(channel[1], &status, sizeof status) == sizeof status;
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    FileStatus status{FileFailure::other, -1};
    const bool received = ::read(channel[0], &status, sizeof status) == sizeof status;
    ::close(channel[0]);
    int exitStatus = 0;
    ::waitpid(child, &exitStatus, 0);
    if (!received || !WIFEXITED(exitStatus) || WEXITSTATUS(exitStatus) != 0)
        return {FileFailure::other, -2};
    return status;
}

TEST_F(PosixFiles, ReadFailuresTellFileFromFolder) {
    std::string contents = "untouched";
    FileStatus status = readFile(at("missing.dat"), contents);
    EXPECT_EQ(status.failure, FileFailure::notFound);

    status = readFile(at("no-folder/dravix.dat"), contents);
    EXPECT_EQ(status.failure, FileFailure::pathNotFound);

    ASSERT_TRUE(replaceFile(at("plain"), "x").ok());
    status = readFile(at("plain/dravix.dat"), contents);
    EXPECT_EQ(status.failure, FileFailure::pathNotFound) << "a file where a folder should be";
}

TEST_F(PosixFiles, ReplaceCreatesThenReplacesKeepingPermissions) {
    const std::string data("line\r\n\0\xFF", 8);
    ASSERT_TRUE(replaceFile(at("dravix.dat"), data).ok());
    EXPECT_EQ(contentOf("dravix.dat"), data);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf("dravix.dat"), 0666 & ~mask);

    ASSERT_EQ(::chmod(at("dravix.dat").c_str(), 0640), 0);
    ASSERT_TRUE(replaceFile(at("dravix.dat"), "").ok());
    EXPECT_EQ(contentOf("dravix.dat"), "");
    EXPECT_EQ(modeOf("dravix.dat"), 0640u);
    EXPECT_EQ(listing(), std::set<std::string>{"dravix.dat"});
}

TEST_F(PosixFiles, DeniedFolderLeavesOldFile) {
    ASSERT_TRUE(replaceFile(at("dravix.ini"), "100\r\n200\r\n").ok());
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
    const FileStatus status = statusFromChild([&] {
        // Root writes anywhere, so the attempt is made as an unprivileged user instead.
        if (::geteuid() == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                return FileStatus{FileFailure::other, -3};
        } else if (::chmod(folder_.c_str(), 0555) != 0) {
            return FileStatus{FileFailure::other, -4};
        }
        return replaceFile(at("dravix.ini"), "1\r\n2\r\n");
    });
    EXPECT_EQ(status.failure, FileFailure::accessDenied) << "code " << status.platformCode;
    ::chmod(folder_.c_str(), 0700);
    EXPECT_EQ(contentOf("dravix.ini"), "100\r\n200\r\n");
    EXPECT_EQ(listing(), std::set<std::string>{"dravix.ini"});
}

TEST_F(PosixFiles, WriteFailingPartWayLeavesOldFileAndNoLeftovers) {
    const std::string old = "the old content\r\n";
    ASSERT_TRUE(replaceFile(at("dravix.dat"), old).ok());
    const FileStatus status = statusFromChild([&] {
        // Files may grow to 10 bytes only; the write of 100 stops there with EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return FileStatus{FileFailure::other, -3};
        return replaceFile(at("dravix.dat"), std::string(100, 'n'));
    });
    EXPECT_EQ(status.failure, FileFailure::other);
    EXPECT_EQ(status.platformCode, EFBIG);
    EXPECT_EQ(contentOf("dravix.dat"), old);
    EXPECT_EQ(listing(), std::set<std::string>{"dravix.dat"});
}

} // namespace
} // namespace dravix::posix
