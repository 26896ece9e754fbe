#include "platform/posix/posix_services.h"
#include "tests/support/posix_child.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <optional>
#include <pwd.h>
#include <random>
#include <sched.h>
#include <set>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace dravix::posix {
namespace {

using testing::becomeOrdinaryUser;
using testing::ordinaryUser;
using testing::statusFromChild;

// A fresh folder per test on a disk file system (/var/tmp rather than a tmpfs /tmp, for the
// extended attributes), removed with everything in it afterwards.
class PosixFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/var/tmp/dravix-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        ::chmod(folder_.c_str(), 0700);
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string at(const std::string& name) const { return folder_ + "/" + name; }

    std::set<std::string> listing(const std::string& subfolder = "") const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(subfolder.empty() ? folder_.c_str() : at(subfolder).c_str())) {
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

    struct stat statOf(const std::string& name) const {
        struct stat info {};
        EXPECT_EQ(::lstat(at(name).c_str(), &info), 0) << name;
        return info;
    }

    mode_t modeOf(const std::string& name) const { return statOf(name).st_mode & 07777; }

    // Run as root, hands the folder and its entries to the ordinary user that a child becomes
    // with becomeOrdinaryUser, so that permission bits count for both as for any owner.
    void handToOrdinaryUser() const {
        if (::geteuid() != 0)
            return;
        ASSERT_EQ(::chown(folder_.c_str(), ordinaryUser, ordinaryUser), 0);
        for (const std::string& name : listing())
            ASSERT_EQ(::lchown(at(name).c_str(), ordinaryUser, ordinaryUser), 0);
    }

    std::string folder_;
};

// For the rest of a child's life, an unnamed file (O_TMPFILE) fails as on a file system that has
// none (NFS, FUSE ones), so that saves take their named temporary; false when it cannot be done.
bool refuseUnnamedFiles() {
    constexpr unsigned unnamedBit = O_TMPFILE & ~O_DIRECTORY;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[2])), // the flags
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, unnamedBit, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0 &&
           ::open("/var/tmp", O_TMPFILE | O_WRONLY, 0600) < 0 && errno == EOPNOTSUPP;
}

long peakMemoryKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
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
    ASSERT_EQ(::chmod(at("plain").c_str(), 0700), 0);
    EXPECT_FALSE(folderWritable(at("plain"))) << "a file is no folder, whatever its bits";
}

// Failures the system really gives, each in the category the user is told; the reasons no test
// can bring about are told like their kin.
TEST_F(PosixFiles, FailuresFallIntoTheUsersCategories) {
    ASSERT_EQ(::symlink("loop", at("loop").c_str()), 0);
    ASSERT_TRUE(replaceFile(at("secret"), "x").ok());
    ASSERT_EQ(::chmod(at("secret").c_str(), 0), 0);
    ASSERT_EQ(::mkdir(at("folder").c_str(), 0700), 0);
    handToOrdinaryUser();
    const auto read = [](const std::string& path) {
        std::string contents;
        return readFile(path, contents);
    };
    const struct {
        const char* what;
        std::function<FileStatus()> step;
        FileFailure failure;
        int code;
    } cases[] = {
        {"a link to itself", [&] { return read(at("loop")); }, FileFailure::pathNotFound, ELOOP},
        {"a name too long", [&] { return read(at(std::string(300, 'n'))); },
         FileFailure::pathNotFound, ENAMETOOLONG},
        {"no descriptor left",
         [&] {
             const rlimit none{0, 0};
             return ::setrlimit(RLIMIT_NOFILE, &none) == 0 ? read(at("secret"))
                                                           : FileStatus{FileFailure::other, -3};
         },
         FileFailure::tooManyOpenFiles, EMFILE},
        {"a file the user may not read",
         [&] {
             return becomeOrdinaryUser() ? read(at("secret")) : FileStatus{FileFailure::other, -3};
         },
         FileFailure::accessDenied, EACCES},
        {"a save over a folder", [&] { return replaceFile(at("folder"), "x"); },
         FileFailure::accessDenied, EISDIR},
        {"a full disk", [] { return statusFromErrno(ENOSPC, "/"); }, FileFailure::diskFull, ENOSPC},
        {"a reason without a category", [] { return statusFromErrno(EIO, "/"); },
         FileFailure::other, EIO},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FileStatus status = statusFromChild(c.step);
        EXPECT_EQ(status.failure, c.failure) << "code " << status.platformCode;
        EXPECT_EQ(status.platformCode, c.code);
    }
    for (const auto& [reason, like] :
         {std::pair{ENFILE, EMFILE}, std::pair{EPERM, EACCES}, std::pair{EROFS, EACCES}}) {
        EXPECT_EQ(statusFromErrno(reason, at("x")).failure, statusFromErrno(like, at("x")).failure)
            << std::strerror(reason);
    }
    EXPECT_TRUE(statusFromErrno(0, at("dravix.dat")).ok());
}

// A folder or a FIFO is refused by the contract suite (posix_system_contract_test.cpp); a device
// and a huge file are refused here without the read costing memory.
TEST_F(PosixFiles, ADeviceOrAHugeFileIsRefusedWithoutReadingIt) {
    const int sparse = ::open(at("sparse.dat").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(sparse, 0);
    ASSERT_EQ(::ftruncate(sparse, off_t{2} << 30), 0);
    ::close(sparse);

    const struct {
        std::string path;
        FileFailure read;
    } cases[] = {
        {"/dev/zero", FileFailure::accessDenied},
        {at("sparse.dat"), FileFailure::tooLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        // In a child: its alarm turns a read that blocks into a failure instead of a hang, and its
        // peak memory shows what the read cost.
        const FileStatus read = statusFromChild([&] {
            ::alarm(10);
            const long before = peakMemoryKiB();
            std::string contents;
            const FileStatus status = readFile(c.path, contents);
            if (peakMemoryKiB() - before > 4096 || contents.capacity() > maxStoredFileSize)
                return FileStatus{FileFailure::other, -5};
            return status;
        });
        EXPECT_EQ(read.failure, c.read) << "code " << read.platformCode;
    }
    // A kernel file says it is empty and holds megabytes: the read stops at the limit.
    std::string contents;
    if (exists("/proc/kallsyms")) {
        EXPECT_EQ(readFile("/proc/kallsyms", contents).failure, FileFailure::tooLarge);
    }
    // Another says it holds a page and holds a line: the read is the line.
    const char* const shorter = "/sys/devices/system/cpu/online";
    if (exists(shorter)) {
        ASSERT_TRUE(readFile(shorter, contents).ok());
        EXPECT_TRUE(!contents.empty() && contents.size() < 100 && contents.back() == '\n')
            << contents.size();
    }
}

// A look before the open: a FIFO or a device is never opened, which for some devices does
// something.
TEST_F(PosixFiles, ANonRegularFileIsRefusedWithoutOpeningIt) {
    ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, at("fifo").c_str(), IN_OPEN), 0);
    std::string contents;
    EXPECT_EQ(readFile(at("fifo"), contents).failure, FileFailure::accessDenied);
    std::array<char, 256> events{};
    EXPECT_LT(::read(watch, events.data(), events.size()), 0) << "the FIFO was opened";
    ::close(watch);
}

TEST_F(PosixFiles, ReplaceCreatesFoldersThenReplacesKeepingPermissions) {
    const std::string data("line\r\n\0\xFF", 8);
    ASSERT_TRUE(replaceFile(at("dravix.dat"), data).ok());
    EXPECT_EQ(contentOf("dravix.dat"), data);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf("dravix.dat"), 0666 & ~mask);

    // The special bits too: a set-group-id file keeps it.
    for (const mode_t mode : {0640, 02750}) {
        ASSERT_EQ(::chmod(at("dravix.dat").c_str(), mode), 0);
        ASSERT_TRUE(replaceFile(at("dravix.dat"), "").ok());
        EXPECT_EQ(contentOf("dravix.dat"), "");
        EXPECT_EQ(modeOf("dravix.dat"), mode);
    }

    // Without unnamed files, a new file's mode comes from the umask all the same.
    ASSERT_TRUE(replaceFile(at("new.dat"), "").ok());
    const mode_t unnamedMode = modeOf("new.dat");
    ASSERT_EQ(::unlink(at("new.dat").c_str()), 0);
    const FileStatus named = statusFromChild([&] {
        if (!refuseUnnamedFiles())
            return FileStatus{FileFailure::other, -3};
        return replaceFile(at("new.dat"), data);
    });
    ASSERT_TRUE(named.ok()) << named.platformCode;
    EXPECT_EQ(contentOf("new.dat"), data);
    EXPECT_EQ(modeOf("new.dat"), unnamedMode);
    ASSERT_EQ(::unlink(at("new.dat").c_str()), 0);

    // The first save into a settings folder that does not exist yet makes it for the user alone.
    ASSERT_TRUE(replaceFile(at("config/dravix/dravix.ini"), "1").ok());
    EXPECT_EQ(modeOf("config"), 0700u);
    EXPECT_EQ(modeOf("config/dravix"), 0700u);
    EXPECT_EQ(listing(), (std::set<std::string>{"config", "dravix.dat"}));
}

TEST_F(PosixFiles, ReplaceKeepsOwnerAndExtendedAttributesOnANewFile) {
    const std::string path = at("dravix.dat");
    ASSERT_TRUE(replaceFile(path, "old").ok());
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), ordinaryUser, ordinaryUser), 0);
    }
    // A user attribute stands for them all; the POSIX ACL is one more, copied the same way. One
    // that holds nothing but is there is kept too.
    const bool attributes = ::setxattr(path.c_str(), "user.dravix", "kept", 4, 0) == 0 &&
                            ::setxattr(path.c_str(), "user.empty", "", 0, 0) == 0;
    if (!attributes) {
        EXPECT_EQ(errno, ENOTSUP);
    }
    const struct stat before = statOf("dravix.dat");

    ASSERT_TRUE(replaceFile(path, "new").ok());
    const struct stat after = statOf("dravix.dat");
    EXPECT_NE(after.st_ino, before.st_ino) << "rewritten in place, not replaced";
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    // Another's owner alone, or another's group alone, is kept too.
    if (::geteuid() == 0) {
        for (const auto& [owner, group] :
             {std::pair{static_cast<uid_t>(ordinaryUser), ::getegid()},
              std::pair{::geteuid(), static_cast<gid_t>(ordinaryUser)}}) {
            ASSERT_EQ(::chown(path.c_str(), owner, group), 0);
            ASSERT_TRUE(replaceFile(path, "new").ok());
            EXPECT_EQ(statOf("dravix.dat").st_uid, owner);
            EXPECT_EQ(statOf("dravix.dat").st_gid, group);
        }
    }
    if (!attributes)
        GTEST_SKIP() << "this file system keeps no user attributes";
    std::array<char, 8> kept{};
    EXPECT_EQ(::getxattr(path.c_str(), "user.dravix", kept.data(), kept.size()), 4);
    EXPECT_STREQ(kept.data(), "kept");
    EXPECT_EQ(::getxattr(path.c_str(), "user.empty", kept.data(), kept.size()), 0);
}

// A user who may write another user's file cannot give a new file its owner, so the file is
// rewritten in place and keeps owner and group, also in a sticky folder, with nothing left over.
TEST_F(PosixFiles, ASaveOfAnotherUsersFileKeepsItsOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can hand a file to another user";
    constexpr gid_t sharedGroup = 100;
    for (const mode_t folder : {0777, 01777}) {
        SCOPED_TRACE(folder);
        ::chmod(folder_.c_str(), 0700);
        ASSERT_TRUE(replaceFile(at("shared.dat"), "old").ok());
        ASSERT_EQ(::chown(at("shared.dat").c_str(), 0, sharedGroup), 0);
        // The owner's own save gives the new file the old one's group too.
        ASSERT_TRUE(replaceFile(at("shared.dat"), "old").ok());
        EXPECT_EQ(statOf("shared.dat").st_gid, sharedGroup);
        ASSERT_EQ(::chmod(at("shared.dat").c_str(), 0664), 0);
        ASSERT_EQ(::chmod(folder_.c_str(), folder), 0);
        const FileStatus status = statusFromChild([&] {
            const gid_t groups[] = {sharedGroup};
            if (::setgroups(1, groups) != 0 || ::setgid(ordinaryUser) != 0 ||
                ::setuid(ordinaryUser) != 0)
                return FileStatus{FileFailure::other, -3};
            return replaceFile(at("shared.dat"), "new");
        });
        ASSERT_TRUE(status.ok()) << "code " << status.platformCode;
        EXPECT_EQ(contentOf("shared.dat"), "new");
        EXPECT_EQ(statOf("shared.dat").st_uid, 0u);
        EXPECT_EQ(statOf("shared.dat").st_gid, sharedGroup);
        EXPECT_EQ(listing(), std::set<std::string>{"shared.dat"}) << "a temporary was left";
    }
}

TEST_F(PosixFiles, ASaveGoesThroughSymbolicLinksToTheirTarget) {
    ASSERT_EQ(::mkdir(at("store").c_str(), 0700), 0);
    ASSERT_TRUE(replaceFile(at("store/kept.dat"), "old").ok());
    const struct {
        const char* link;
        std::string target;
        const char* saved;
    } cases[] = {
        {"relative.dat", "store/kept.dat", "store/kept.dat"},   // relative to the link's folder
        {"absolute.dat", at("store/new.dat"), "store/new.dat"}, // dangling until the save
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        ASSERT_EQ(::symlink(c.target.c_str(), at(c.link).c_str()), 0);
        EXPECT_TRUE(exists(at(c.link)));
        ASSERT_TRUE(replaceFile(at(c.link), c.link).ok());
        std::array<char, 4096> text{};
        ASSERT_GT(::readlink(at(c.link).c_str(), text.data(), text.size()), 0) << "link gone";
        EXPECT_EQ(std::string(text.data()), c.target);
        EXPECT_EQ(contentOf(c.saved), c.link);
    }
    EXPECT_EQ(listing("store"), (std::set<std::string>{"kept.dat", "new.dat"}));

    // As many links in a row as Linux follows (40) lead to the file; one more is a loop.
    std::string next = "store/kept.dat";
    for (int hop = 1; hop <= 41; ++hop) {
        const std::string name = "hop" + std::to_string(hop);
        ASSERT_EQ(::symlink(next.c_str(), at(name).c_str()), 0);
        next = name;
    }
    EXPECT_TRUE(replaceFile(at("hop40"), "forty").ok());
    EXPECT_EQ(contentOf("store/kept.dat"), "forty");
    EXPECT_EQ(replaceFile(at("hop41"), "41").platformCode, ELOOP);
    EXPECT_EQ(contentOf("store/kept.dat"), "forty");

    // What a link names is read whole, however long: the running program's path is read so.
    for (const std::size_t length : {255, 256, 700}) {
        const std::string target = std::string("/").append(length - 1, 'x');
        ASSERT_EQ(::symlink(target.c_str(), at("long").c_str()), 0);
        EXPECT_EQ(linkTarget(at("long").c_str()), target);
        ASSERT_EQ(::unlink(at("long").c_str()), 0);
    }
    EXPECT_EQ(linkTarget(at("store/kept.dat").c_str()), "") << "no link";
}

TEST_F(PosixFiles, AnOrdinaryUserSavesOnlyWhatTheyMayWrite) {
    const std::string old = "100\r\n200\r\n";
    const struct {
        const char* what;
        mode_t file;
        mode_t folder;
        FileFailure failure;
    } cases[] = {
        {"read-only file in a writable folder", 0444, 0700, FileFailure::accessDenied},
        {"read-only file in a read-only folder", 0444, 0500, FileFailure::accessDenied},
        {"writable file in a read-only folder: rewritten in place", 0644, 0500, FileFailure::none},
        {"writable file in a folder without its search bit", 0644, 0600, FileFailure::accessDenied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::chmod(folder_.c_str(), 0700);
        ::chmod(at("dravix.ini").c_str(), 0644);
        ASSERT_TRUE(replaceFile(at("dravix.ini"), old).ok());
        ASSERT_EQ(::chmod(at("dravix.ini").c_str(), c.file), 0);
        handToOrdinaryUser();
        ASSERT_EQ(::chmod(folder_.c_str(), c.folder), 0);
        const ino_t inode = statOf("dravix.ini").st_ino;

        const FileStatus status = statusFromChild([&] {
            if (!becomeOrdinaryUser())
                return FileStatus{FileFailure::other, -3};
            if (folderWritable(folder_) != ((c.folder & 0300) == 0300))
                return FileStatus{FileFailure::other, -4};
            return replaceFile(at("dravix.ini"), "1\r\n2\r\n");
        });
        EXPECT_EQ(status.failure, c.failure) << "code " << status.platformCode;
        ::chmod(folder_.c_str(), 0700);
        EXPECT_EQ(contentOf("dravix.ini"), status.ok() ? "1\r\n2\r\n" : old);
        EXPECT_EQ(statOf("dravix.ini").st_ino, inode);
        EXPECT_EQ(listing(), std::set<std::string>{"dravix.ini"});
    }
}

// Root's file, writable by all, saved by the ordinary user in a folder the user owns: a new file
// could not be given root's owner, so the file is rewritten in place and stays root's, with its
// hard links.
TEST_F(PosixFiles, AFileOfAnotherOwnerIsRewrittenInPlaceAndKeepsItsOwner) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file of another owner";
    ASSERT_TRUE(replaceFile(at("dravix.dat"), std::string(3000, 'o')).ok());
    ASSERT_EQ(::link(at("dravix.dat").c_str(), at("linked.dat").c_str()), 0);
    ASSERT_EQ(::chmod(at("dravix.dat").c_str(), 0666), 0);
    ASSERT_EQ(::chown(folder_.c_str(), ordinaryUser, ordinaryUser), 0);
    const struct stat before = statOf("dravix.dat");

    const FileStatus status = statusFromChild([&] {
        return becomeOrdinaryUser() ? replaceFile(at("dravix.dat"), "new\r\n")
                                    : FileStatus{FileFailure::other, -3};
    });
    EXPECT_TRUE(status.ok()) << "code " << status.platformCode;
    const struct stat after = statOf("dravix.dat");
    EXPECT_EQ(contentOf("dravix.dat"), "new\r\n");
    EXPECT_EQ(contentOf("linked.dat"), "new\r\n");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_uid, 0u);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(listing(), (std::set<std::string>{"dravix.dat", "linked.dat"}));
}

// A write that fails part-way through an in-place rewrite (files may grow to 10 bytes only, and
// no write goes past that offset): the new end was being added, or old bytes were already
// overwritten and are written back.
TEST_F(PosixFiles, AnInPlaceRewriteFailingPartWayLeavesTheFileByteForByte) {
    const struct {
        const char* what;
        std::string old;
        std::string next;
    } cases[] = {
        {"growing", "12345", std::string(100, 'n')},
        {"shrinking", std::string(100, 'o'), std::string(50, 'n')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::chmod(folder_.c_str(), 0700);
        ASSERT_TRUE(replaceFile(at("dravix.dat"), c.old).ok());
        handToOrdinaryUser();
        ASSERT_EQ(::chmod(folder_.c_str(), 0500), 0);
        const FileStatus status = statusFromChild([&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{10, 10};
            if (!becomeOrdinaryUser() || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return FileStatus{FileFailure::other, -3};
            return replaceFile(at("dravix.dat"), c.next);
        });
        EXPECT_EQ(status.platformCode, EFBIG);
        EXPECT_EQ(contentOf("dravix.dat"), c.old);
    }
}

// A real full disk: a 64 KiB tmpfs, mounted in a mount namespace of a child's own and filled up.
// Root's file, writable by all, is saved by the ordinary user in a folder they may not write, and
// in one they own; both times the file is rewritten in place, and both times it stays as it was.
TEST_F(PosixFiles, AFullDiskLeavesAnInPlaceFileByteForByteAndSaysSo) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a small file system";
    const std::string disk = at("disk");
    ASSERT_EQ(::mkdir(disk.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(folder_.c_str(), 0755), 0);
    const std::string old(3000, 'o');
    const struct {
        const char* what;
        uid_t folderOwner;
    } cases[] = {{"a folder the user may not write", 0}, {"a folder of the user's", ordinaryUser}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const FileStatus status = statusFromChild([&] {
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                return FileStatus{FileFailure::other, -10};
            if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0 ||
                ::chown(disk.c_str(), c.folderOwner, c.folderOwner) != 0)
                return FileStatus{FileFailure::other, -11};
            const std::string path = disk + "/dravix.dat";
            if (!replaceFile(path, old).ok() || ::chmod(path.c_str(), 0666) != 0)
                return FileStatus{FileFailure::other, -12};
            const int filler = ::open((disk + "/filler").c_str(), O_CREAT | O_WRONLY, 0600);
            const std::string block(4096, 'f');
            while (::write(filler, block.data(), block.size()) > 0) {
            }
            if (errno != ENOSPC || !becomeOrdinaryUser())
                return FileStatus{FileFailure::other, -13};
            const FileStatus saved = replaceFile(path, std::string(9300, 'n'));
            std::string now;
            struct stat info {};
            if (!readFile(path, now).ok() || now != old || ::stat(path.c_str(), &info) != 0 ||
                info.st_uid != 0)
                return FileStatus{FileFailure::other, -14};
            return saved;
        });
        if (status.platformCode == -10)
            GTEST_SKIP() << "no mount namespace here";
        EXPECT_EQ(status.failure, FileFailure::diskFull) << "code " << status.platformCode;
    }
}

// A stored file right in the root folder (a copy of the program in / of a small system, say): its
// folder is "/", not the working folder, which here lies on another file system outside the root.
TEST_F(PosixFiles, AFileInTheRootFolderIsSavedThere) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to mount a file system and change the root";
    const std::string root = at("root");
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    const FileStatus status = statusFromChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return FileStatus{FileFailure::other, -10};
        // The system's /proc comes along: the save links its unnamed file through /proc/self/fd.
        const std::string proc = root + "/proc";
        if (::mount("tmpfs", root.c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0 ||
            ::mkdir(proc.c_str(), 0555) != 0 ||
            ::mount("proc", proc.c_str(), "proc", 0, nullptr) != 0 ||
            ::chdir(folder_.c_str()) != 0 || ::chroot(root.c_str()) != 0)
            return FileStatus{FileFailure::other, -11};
        if (const FileStatus saved = replaceFile("/dravix.dat", "new\r\n"); !saved.ok())
            return saved;
        std::string now;
        return readFile("/dravix.dat", now).ok() && now == "new\r\n"
                   ? FileStatus{}
                   : FileStatus{FileFailure::other, -12};
    });
    if (status.platformCode == -10)
        GTEST_SKIP() << "no mount namespace here";
    EXPECT_TRUE(status.ok()) << "code " << status.platformCode;
    EXPECT_EQ(listing(), std::set<std::string>{"root"}) << "the save went to the working folder";
}

// With an unnamed temporary and, where the file system has none, with a named one.
TEST_F(PosixFiles, WriteFailingPartWayLeavesOldFileAndNoLeftovers) {
    const std::string old = "the old content\r\n";
    ASSERT_TRUE(replaceFile(at("dravix.dat"), old).ok());
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        const FileStatus status = statusFromChild([&] {
            if (!unnamed && !refuseUnnamedFiles())
                return FileStatus{FileFailure::other, -4};
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
}

TEST_F(PosixFiles, SavesKilledPartWayLeaveAWholeFileAndNoTemporaries) {
    const std::string first(maxStoredFileSize, 'a');
    const std::string second(maxStoredFileSize, 'b');
    ASSERT_TRUE(replaceFile(at("dravix.dat"), first).ok());
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(replaceFile(at("dravix.dat"), second).ok());
    const auto saveMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
    const unsigned seed = static_cast<unsigned>(::testing::UnitTest::GetInstance()->random_seed());
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<long> killAfter(0, saveMicroseconds * 3 / 2);

    constexpr int kills = 30;
    for (int kill = 0; kill < kills; ++kill) {
        const pid_t child = ::fork();
        if (child == 0) {
            replaceFile(at("dravix.dat"), kill % 2 == 0 ? first : second);
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(killAfter(random)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = contentOf("dravix.dat");
        ASSERT_TRUE(now == first || now == second) << "a cut file of " << now.size() << " bytes";
    }

    // An unnamed temporary is only left by a kill between its link and its rename, microseconds
    // out of a save of milliseconds (about one kill in a few hundred); a named one by about every
    // second kill.
    std::set<std::string> leftovers = listing();
    leftovers.erase("dravix.dat");
    const int unnamed = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (unnamed >= 0) {
        ::close(unnamed);
        EXPECT_LE(leftovers.size(), std::size_t{kills / 6}) << "temporaries with names were left";
    }

    // The next save sweeps this file's temporaries older than a minute, whatever left them, and
    // leaves a young one (a save under way in another copy) and another file's.
    // Nor a longer name, nor a link named like a temporary.
    for (const char* planted :
         {".dravix.dat.Stale1", ".dravix.dat.Fresh1", ".dravix.ini.Stale2", ".dravix.dat.Longer7"})
        ASSERT_TRUE(replaceFile(at(planted), "x").ok());
    ASSERT_EQ(::symlink("dravix.dat", at(".dravix.dat.Link01").c_str()), 0);
    const timespec twoMinutesAgo[] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
    for (const std::string& name : listing()) {
        if (name != "dravix.dat" && name != ".dravix.dat.Fresh1") {
            ASSERT_EQ(::utimensat(AT_FDCWD, at(name).c_str(), twoMinutesAgo, AT_SYMLINK_NOFOLLOW),
                      0);
        }
    }
    ASSERT_TRUE(replaceFile(at("dravix.dat"), first).ok());
    EXPECT_EQ(listing(),
              (std::set<std::string>{"dravix.dat", ".dravix.dat.Fresh1", ".dravix.ini.Stale2",
                                     ".dravix.dat.Longer7", ".dravix.dat.Link01"}));
}

// Processes that update one file at once, starting from a missing file, lose no change: each
// replace makes a new file, so most updates meet a lock on a file that is no longer there.
TEST_F(PosixFiles, UpdatesFromManyProcessesLoseNothing) {
    constexpr int writers = 4;
    constexpr int updatesEach = 25;
    std::vector<pid_t> children;
    for (int writer = 0; writer < writers; ++writer) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(30);
            for (int update = 0; update < updatesEach; ++update) {
                const FileStatus status =
                    updateFile(at("dravix.dat"), [&](const std::optional<std::string>& current) {
                        return std::optional<std::string>(current.value_or("") +
                                                          static_cast<char>('a' + writer));
                    });
                if (!status.ok())
                    ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string content = contentOf("dravix.dat");
    EXPECT_EQ(content.size(), std::size_t{writers * updatesEach});
    for (int writer = 0; writer < writers; ++writer)
        EXPECT_EQ(std::count(content.begin(), content.end(), 'a' + writer), updatesEach);
    EXPECT_EQ(listing(), std::set<std::string>{"dravix.dat"}) << "nothing but the file is made";
}

// A settings folder behind a link has one name, whether it exists yet or not.
TEST_F(PosixFiles, AFolderIsNamedByItsRealPathBeforeAndAfterItExists) {
    ASSERT_EQ(::mkdir(at("real").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("real", at("link").c_str()), 0);
    const std::string real = folder_ + "/real/";
    for (const std::string& spelling :
         {at("link/.config/dravix/"), at("link/.config/dravix"), at("real/./.config//dravix/"),
          at("link/../real/.config/dravix/")}) {
        SCOPED_TRACE(spelling);
        ::rmdir(at("real/.config/dravix").c_str());
        ::rmdir(at("real/.config").c_str());
        EXPECT_EQ(realFolderName(spelling), real + ".config/dravix/") << "before";
        ASSERT_EQ(::mkdir(at("real/.config").c_str(), 0700), 0);
        EXPECT_EQ(realFolderName(spelling), real + ".config/dravix/") << "half made";
        ASSERT_EQ(::mkdir(at("real/.config/dravix").c_str(), 0700), 0);
        EXPECT_EQ(realFolderName(spelling), real + ".config/dravix/") << "after";
    }
}

TEST(PosixSettingsFolder, FollowsXdgConfigHomeElseHome) {
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_NE(user, nullptr);
    std::string fromDatabase = user->pw_dir;
    if (fromDatabase.back() != '/')
        fromDatabase += '/';
    const struct {
        const char* config;
        const char* home;
        std::string folder;
    } cases[] = {
        {"/cfg", "/home/me", "/cfg/dravix/"},
        {"/cfg/", "/home/me", "/cfg/dravix/"},
        {"cfg", "/home/me", "/home/me/.config/dravix/"}, // relative: ignored
        {nullptr, "/home/me/", "/home/me/.config/dravix/"},
        {nullptr, nullptr, fromDatabase + ".config/dravix/"},
        {nullptr, "", fromDatabase + ".config/dravix/"}, // empty: as if unset
    };
    const auto set = [](const char* name, const char* value) {
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    };
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string configBefore = config ? config : "", homeBefore = home ? home : "";
    for (const auto& c : cases) {
        set("XDG_CONFIG_HOME", c.config);
        set("HOME", c.home);
        EXPECT_EQ(userSettingsFolder(), c.folder)
            << (c.config ? c.config : "unset") << ", " << (c.home ? c.home : "unset");
    }
    set("XDG_CONFIG_HOME", config ? configBefore.c_str() : nullptr);
    set("HOME", home ? homeBefore.c_str() : nullptr);
}

} // namespace
} // namespace dravix::posix
